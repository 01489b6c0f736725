#!/usr/bin/env bash
# Every command, option and exit status that a program's --help lists is on its manual
# page, and --version answers 0 with "<program> <version>", so the pages (and the README's
# ranges and defaults of velqorctl) cannot drift from the programs.
#
#   check_man_pages.sh <source dir> <build dir> <version> <program path>...
# A page with a template (packaging/<program>.1.in) is checked as built (<build dir>/packaging).
set -euo pipefail

sourceDir=$1
buildDir=$2
version=$3
shift 3

problems=0
fail() {
    echo "FAIL: $*" >&2
    problems=$((problems + 1))
}

for program in "$@"; do
    name=$(basename "$program")
    page="$sourceDir/packaging/$name.1"
    [ -f "$page.in" ] && page="$buildDir/packaging/$name.1"
    [ -f "$page" ] || { fail "$name has no page $page"; continue; }
    help=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= "$program" --help) || { fail "$name --help"; continue; }
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= "$program" --version) ||
        fail "$name --version: exit status $?"
    [ "$out" = "$name $version" ] || fail "$name --version: \"$out\""

    # the page as words: roff's escaped minus and font changes taken out
    text=$(sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' -e 's/\\(em/-/g' "$page")

    # --options, and the -x short forms written "-x, --long"; an option named after another
    # program ("velqor-config --lang en", "socat -d") is that program's
    own=$help
    for other in velqorctl velqor-config velqor-sim socat; do
        [ "$other" = "$name" ] || own=$(sed -E "s/(^|[^a-z-])$other .*/\\1/" <<<"$own")
    done
    for option in $(grep -oE '(^|[^a-z0-9-])--?[a-z][a-z0-9-]*' <<<"$own" | grep -oE -- '--?[a-z][a-z0-9-]*' | sort -u); do
        grep -qE -- "(^|[^a-z0-9-])$option([^a-z0-9-]|$)" <<<"$text" || fail "$name: $option is not on the page"
    done
    # the commands: the lines of "Commands:" with two blanks before the name
    commands=$(sed -n '/^Commands:/,/^$/p' <<<"$help" | grep -oE '^  [a-z]+' | tr -d ' ' || true)
    for command in $commands; do
        grep -qE "^\.(B|BR|BI) \"?$command( |\"|$)" <<<"$text" || fail "$name: command $command is not on the page"
    done
    # each "exit status N" and the tcp:// form of a port
    for status in $(grep -oiE 'exit status:? [0-9]+' <<<"$help" | grep -oE '[0-9]+$' | sort -u); do
        sed -n '/^\.SH EXIT STATUS/,/^\.SH/p' <<<"$text" | grep -qw "$status" ||
            fail "$name: exit status $status is not under EXIT STATUS"
    done
    if grep -qF "tcp://" <<<"$help"; then
        grep -qF "tcp://" <<<"$text" || fail "$name: the tcp:// form is not on the page"
    fi
    # what the simulator's --help fills in from the table, the page states alike: the
    # registers it holds, the rates and the start rate
    words=$(tr -s ' \n' '  ' <<<"$text")
    last=$(sed -n 's/^Holding registers 0x0000\.\.\(0x[0-9A-F]*\) .*/\1/p' <<<"$help")
    if [ -n "$last" ]; then
        grep -qF "registers 0x0000 to $last " <<<"$words" || fail "$name: the page's registers do not end at $last"
        grep -qF "beyond $last " <<<"$words" || fail "$name: the page's exception 02 is not beyond $last"
    fi
    rates=$(sed -n 's/^  --baud RATE *\([0-9 ]*[0-9]\) (default \([0-9]*\)).*/\1 (default \2)/p' <<<"$help")
    if [ -n "$rates" ]; then
        # "4800 9600 115200 (default 9600)" as the page writes it: "4800, 9600 or 115200 (default 9600)"
        listed=$(sed -E 's/ ([0-9]+) \(/ or \1 (/; s/([0-9]) ([0-9])/\1, \2/g' <<<"$rates")
        grep -qF "$listed" <<<"$words" || fail "$name: the page does not give --baud as $listed"
    fi
done

# The README states velqorctl's ranges and defaults as its --help does: the range of each
# key of a table row "| caption | `key`, ... | range ... |", each "`--option X` ... default N",
# and the port and rate without com.txt ("COM1 and 9600").
readme="$sourceDir/README.md"
for program in "$@"; do
    [ "$(basename "$program")" = velqorctl ] && [ -f "$readme" ] || continue
    help=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= "$program" --help)
    while IFS='|' read -r _ _ keys range _; do
        for key in $(grep -oE '`[a-z_]+`' <<<"$keys" | tr -d '`'); do
            want=$(sed -n "s/^  $key  *0x[0-9A-F-]*  *//p" <<<"$help")
            [[ -n "$want" && "$range" == " $want "* ]] ||
                fail "README: $key is written with \"${range# }\", --help says \"$want\""
        done
    done < <(grep -E '^\| [^|]+ \| `[a-z_]+`[^|]* \| [0-9]' "$readme")
    while read -r option value; do
        # the option's lines of --help, up to the next option
        own=$(sed -n "/^  $option /,/^  -/p" <<<"$help" | sed '1!{/^  -/d}')
        grep -qE "default $value\b" <<<"$own" || fail "README: $option defaults to $value, --help says otherwise"
    done < <(grep -oE '`--[a-z-]+ [A-Z]+`[^`|]*default [0-9]+' "$readme" | sed -E 's/^`(--[a-z-]+).* ([0-9]+)$/\1 \2/')
    fallback=$(grep -oE 'COM1 and [0-9]+' <<<"$help" | sort -u)
    for stated in $(grep -oE 'COM1 and [0-9]+' "$readme" | grep -oE '[0-9]+$' | sort -u); do
        [ "COM1 and $stated" = "$fallback" ] || fail "README: COM1 and $stated without com.txt, --help says $fallback"
    done
done

[ "$problems" -eq 0 ] || { echo "$problems problem(s)" >&2; exit 1; }
echo "manual pages OK"
