#!/usr/bin/env bash
# Every text of the window has its English: no Chinese literal outside app/texts.h, and
# lupdate finds no text that app/translations/velqor_en.ts lacks or leaves unfinished.
#   check_translations.sh <lupdate> <source dir>
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
! grep -nP '"[^"]*[\x{3000}-\x{9fff}\x{ff00}-\x{ffef}]' "$2"/app/*.cpp "$2"/app/*.h | grep -v '/texts\.h:' ||
    { echo "FAIL: Chinese text outside app/texts.h (above)" >&2; exit 1; }
cp "$2/app/translations/velqor_en.ts" "$work/en.ts"
"$1" -silent -locations none -no-obsolete "$2/app" "$2/device/parameter_table.h" -ts "$work/en.ts"
! grep -B2 'type="unfinished"' "$work/en.ts" || { echo "FAIL: texts without English (above)" >&2; exit 1; }
