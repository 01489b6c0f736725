#!/usr/bin/env bash
# The programs carry no run path the loader would read as a folder relative to wherever they
# are started: no empty entry (the current folder), no relative one. A program started in a
# folder holding a libc.so.6 of someone else's must not load it.
# usage: check_run_path.sh PROGRAM...
status=0
for program in "$@"; do
    paths=$(readelf -d "$program" | sed -n 's/.*(\(RUNPATH\|RPATH\)).*\[\(.*\)\]$/\2/p')
    [ -n "$paths" ] || continue
    IFS=: read -r -a entries <<<"$paths:"
    for entry in "${entries[@]}"; do
        case "$entry" in
            /*|'$ORIGIN'*) ;;
            *) echo "$program: run path \"$paths\" has an entry relative to the current folder"; status=1; break ;;
        esac
    done
done
exit "$status"
