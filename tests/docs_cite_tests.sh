#!/usr/bin/env bash
# Every test that docs/robustness.md cites as tst_name::function(rows) exists: the file
# tests/**/tst_name.cpp has that function, and each row named (the names between commas or
# semicolons, "…" ending a shortened one) stands in that file.
#   docs_cite_tests.sh <source dir>
set -euo pipefail
cd "$1"
status=0
while IFS= read -r cite; do
    name=${cite%%(*}
    file=$(find tests -name "${name%%::*}.cpp" | head -1)
    if [ -z "$file" ] || ! grep -qw -- "${name##*::}" "$file"; then
        echo "FAIL: docs/robustness.md cites $name, which does not exist" >&2
        status=1
        continue
    fi
    [ "$cite" = "$name" ] && continue
    rows=${cite#*(}
    while IFS= read -r row; do
        if [ -n "$row" ] && ! grep -qF -- "$row" "$file"; then
            echo "FAIL: docs/robustness.md cites the row \"$row\" of $name, which does not exist" >&2
            status=1
        fi
    done < <(echo "${rows%)}" | tr ',;' '\n\n' | sed 's/…//; s/^ *//; s/ *$//')
done < <(grep -o 'tst_[a-z0-9_]*::[A-Za-z0-9_]*\(([^)]*)\)\?' docs/robustness.md | sort -u)
exit $status
