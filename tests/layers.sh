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
for folder in "${!below[@]}"; do
    allowed=$(echo "${below[$folder]}" | sed 's/ /|/g')
    # every project include ("folder/file.h") that names a folder not allowed here
    if grep -nE '^\s*#\s*include\s+"[a-z_]+/' "$folder"/*.h "$folder"/*.cpp 2>/dev/null |
        grep -vE "#\s*include\s+\"($allowed)/"; then
        echo "FAIL: $folder/ includes from a layer above it (above)" >&2
        status=1
    fi
done
exit $status
