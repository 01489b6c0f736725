#!/usr/bin/env bash
# Layers read downwards: a folder includes only from itself and the layers below it.
#   layers.sh <source dir>
set -uo pipefail
cd "$1"
declare -A below=(
    [modbus]="modbus"
    [device]="modbus device"
    [serial]="serial"
    [settings]="modbus device settings"
    [app]="modbus device serial settings app"
    [cli]="modbus device serial settings cli"
    [tools]="modbus device tools"
)
status=0
# folder, the layers it may include from
check() {
    local allowed
    allowed=$(echo "$2" | sed 's/ /|/g')
    # every project include ("folder/file.h") that names a folder not allowed here
    [ -d "$1" ] || return 0
    if find "$1" -maxdepth 1 \( -name '*.h' -o -name '*.cpp' \) -exec grep -nHE '^\s*#\s*include\s+"[a-z_]+/' {} + |
        grep -vE "#\s*include\s+\"($allowed)/"; then
        echo "FAIL: $1/ includes from a layer above it (above)" >&2
        status=1
    fi
}
for folder in "${!below[@]}"; do
    check "$folder" "${below[$folder]}"
    # a layer's tests: that layer, those below it, and the tests' helpers in tests/support;
    # tests/e2e, fuzz and windows take the whole program and are no layer's
    check "tests/$folder" "${below[$folder]} support"
done
exit $status
