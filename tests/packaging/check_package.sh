#!/usr/bin/env bash
# Builds the Debian package from a finished build and checks what a user gets from it: its
# files, its control fields and Depends, that lintian finds no error in it, that apt can
# install it, that its programs find every library, and that its desktop entry is valid and
# starts the tool in the home folder.
#
#   check_package.sh <build dir> <cpack> <project version> <velqor-sim built: 0|1>
set -euo pipefail

build=$(cd "$1" && pwd)
cpack=$2
version=$3
withSim=$4
sourceDir=$(cd "$(dirname "$0")/../.." && pwd)

# dpkg-dev: dpkg-shlibdeps for the Depends; file: CPack's test for programs.
"$sourceDir/scripts/install-deps" desktop-file-utils dpkg-dev file lintian

problems=0
fail() {
    echo "FAIL: $*" >&2
    problems=$((problems + 1))
}

work="$build/package-check"
rm -rf "$work"
mkdir -p "$work"
if ! "$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$work" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    echo "FAIL: cpack" >&2
    exit 1
fi
debs=("$work"/*.deb)
if [ "${#debs[@]}" -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    echo "FAIL: expected one .deb in $work, found: ${debs[*]}" >&2
    exit 1
fi
deb=${debs[0]}
echo "package: $deb"

# ---- files: mode, owner and path of every non-directory entry
expected=(
    "-rwxr-xr-x root/root ./usr/bin/velqor-config"
    "-rwxr-xr-x root/root ./usr/bin/velqorctl"
    "-rw-r--r-- root/root ./usr/share/applications/velqor-config.desktop"
    "-rw-r--r-- root/root ./usr/share/icons/hicolor/scalable/apps/velqor-config.svg"
    "-rw-r--r-- root/root ./usr/share/icons/hicolor/128x128/apps/velqor-config.png"
    "-rw-r--r-- root/root ./usr/share/doc/velqor-config/copyright"
    "-rw-r--r-- root/root ./usr/share/doc/velqor-config/changelog.gz"
)
[ "$withSim" = 1 ] && expected+=("-rwxr-xr-x root/root ./usr/bin/velqor-sim")
[ -f "$sourceDir/README.md" ] && expected+=("-rw-r--r-- root/root ./usr/share/doc/velqor-config/README.md")

listing=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $1, $2, $6}')
# every program has its manual page
for program in $(awk '$3 ~ /^\.\/usr\/bin\// {sub(".*/", "", $3); print $3}' <<<"$listing"); do
    expected+=("-rw-r--r-- root/root ./usr/share/man/man1/$program.1.gz")
done
for entry in "${expected[@]}"; do
    grep -qxF -e "$entry" <<<"$listing" || fail "missing or wrong mode/owner: $entry"
done
while read -r entry; do
    [ -z "$entry" ] && continue
    case "${entry##* }" in ./usr/share/doc/velqor-config/*) continue ;; esac
    printf '%s\n' "${expected[@]}" | grep -qxF -e "$entry" || fail "unexpected file: $entry"
done <<<"$listing"

# ---- control fields
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = velqor-config ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version), project version $version"
[ "$(field Section)" = electronics ] || fail "Section: $(field Section)"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture: $(field Architecture)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ -n "$(field Description)" ] || fail "no Description"

depends=$(field Depends)
echo "Depends: $depends"
dependNames=$(sed 's/([^)]*)//g; s/[[:space:]]//g; s/[,|]/\n/g' <<<"$depends")
needed=(libqt6core6 libqt6gui6 libqt6widgets6 libqt6serialport6 libqt6network6 fonts-arphic-uming fonts-liberation2)
[ "$withSim" = 1 ] && needed+=(libmodbus5)
for name in "${needed[@]}"; do
    grep -qxF "$name" <<<"$dependNames" || fail "Depends lacks $name"
done
# apt resolves every name and version in Depends (against this machine and its archive).
if ! apt-get install -s "$deb" >"$work/apt.log" 2>&1; then
    cat "$work/apt.log" >&2
    fail "apt-get cannot install the package"
fi

# ---- Debian's own checks: errors fail, the rest is shown (docs/packaging.md explains each
# tag that remains). A build with VELQOR_HARDENING (the package build) has no hardening tag.
if ! lintian --pedantic --display-info --fail-on error "$deb" >"$work/lintian.log" 2>&1; then
    cat "$work/lintian.log" >&2
    fail "lintian reports errors"
else
    # lintian's note about running as root is no finding
    grep -v "running with root privileges" "$work/lintian.log" || true
fi
if grep -qx 'VELQOR_HARDENING:BOOL=ON' "$build/CMakeCache.txt" && grep -q ' hardening-' "$work/lintian.log"; then
    fail "built with VELQOR_HARDENING, yet lintian finds: $(grep ' hardening-' "$work/lintian.log" | tr '\n' ' ')"
fi

# ---- the unpacked package
root="$work/root"
dpkg -x "$deb" "$root"
for program in "$root"/usr/bin/*; do
    if ! out=$(ldd "$program" 2>&1) || grep -q "not found" <<<"$out"; then
        fail "ldd $program: $out"
    fi
done

# velqorctl is for machines without a display: no widgets, and it runs with none.
ctl="$root/usr/bin/velqorctl"
if ldd "$ctl" | grep -qE 'libQt6(Widgets|Gui)'; then
    fail "velqorctl links Qt Widgets or Gui"
fi
out=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= "$ctl" --version 2>&1) && [ "$out" = "velqorctl $version" ] ||
    fail "velqorctl --version without a display: $out"

for png in "$root"/usr/share/icons/hicolor/*/apps/*.png; do
    size=$(basename "$(dirname "$(dirname "$png")")")   # e.g. 128x128
    file "$png" | grep -qF "${size/x/ x }" || fail "$png is not $size: $(file -b "$png")"
done

entry="$root/usr/share/applications/velqor-config.desktop"
if [ -f "$entry" ]; then
    out=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $out"
    [ -z "$out" ] || fail "desktop-file-validate warns: $out"
    # A key of the main group, or of the group named second ("Desktop Action English").
    key() { sed -n "/^\[${2:-Desktop Entry}\]/,/^\[/ s/^$1=//p" "$entry"; }
    for k in 'Name' 'Name\[zh_CN\]' 'Comment' 'Comment\[zh_CN\]'; do
        [ -n "$(key "$k")" ] || fail "desktop entry lacks $k"
    done
    [ "$(key Categories)" = "Development;Electronics;" ] || fail "Categories: $(key Categories)"
    [ "$(key Terminal)" = false ] || fail "Terminal: $(key Terminal)"
    icon=$(key Icon)
    for f in scalable/apps/$icon.svg 128x128/apps/$icon.png; do
        [ -f "$root/usr/share/icons/hicolor/$f" ] || fail "Icon=$icon has no $f"
    done
    [ -x "$root/usr/bin/$(key TryExec)" ] || fail "TryExec=$(key TryExec) is not a packaged program"

    # Exec starts the program in $HOME, wherever the launcher runs it from. A stand-in
    # records its folder; the entry's Exec uses only plain double quotes, which sh reads
    # the way a desktop launcher does.
    fake="$work/fake-bin"
    mkdir -p "$fake" "$work/home"
    printf '#!/bin/sh\npwd >"%s"\n' "$work/started-in" >"$fake/$(key TryExec)"
    chmod +x "$fake/$(key TryExec)"
    exec_line=$(key Exec)
    (cd / && export HOME="$work/home" PATH="$fake:$PATH" && eval "$exec_line") || fail "Exec failed: $exec_line"
    [ "$(cat "$work/started-in" 2>/dev/null)" = "$work/home" ] ||
        fail "Exec did not start the program in \$HOME: $exec_line"
    # The action "English" starts the same way, with --lang en.
    [ "$(key Exec 'Desktop Action English')" = "${exec_line%\"} --lang en\"" ] || fail "no action English"
fi

if [ "$problems" -ne 0 ]; then
    echo "$problems problem(s) with $deb" >&2
    exit 1
fi
echo "package OK"
