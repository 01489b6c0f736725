#!/usr/bin/env bash
# Every text of the window has its English: no Chinese literal outside app/texts.h (where
# each is marked for translation), and lupdate finds no text that the English catalogue
# lacks or leaves unfinished.
#
#   check_translations.sh <lupdate> <source dir>
set -euo pipefail
lupdate=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

status=0
if grep -nP '"[^"]*[\x{3000}-\x{9fff}\x{ff00}-\x{ffef}]' "$source"/app/*.cpp "$source"/app/*.h | grep -v '^[^:]*/texts\.h:'; then
    echo "FAIL: Chinese text outside app/texts.h (above)" >&2
    status=1
fi
cp "$source/app/translations/velqor_en.ts" "$work/en.ts"
"$lupdate" -silent -locations none -no-obsolete "$source/app" -ts "$work/en.ts"
if grep -B2 'type="unfinished"' "$work/en.ts"; then
    echo "FAIL: texts without English in app/translations/velqor_en.ts (above)" >&2
    status=1
fi
exit "$status"
