#!/usr/bin/env bash
# Every test that docs/robustness.md cites as tst_name::function exists: the file
# tests/**/tst_name.cpp has that function.
#   docs_cite_tests.sh <source dir>
set -euo pipefail
cd "$1"
status=0
while IFS= read -r cite; do
    file=$(find tests -name "${cite%%::*}.cpp" | head -1)
    if [ -z "$file" ] || ! grep -qw -- "${cite##*::}" "$file"; then
        echo "FAIL: docs/robustness.md cites $cite, which does not exist" >&2
        status=1
    fi
done < <(grep -o 'tst_[a-z0-9_]*::[A-Za-z0-9_]*' docs/robustness.md | sort -u)
exit $status
