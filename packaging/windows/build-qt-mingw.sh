#!/usr/bin/env bash
# Rebuilds the Qt 6.4.2 SDK for 64-bit Windows (MinGW-w64, posix threads) that scripts/windows uses,
# on Debian 12, from Qt's own sources. It takes about 75 minutes on two cores.
#   build-qt-mingw.sh QTBASE_SRC QTSERIALPORT_SRC PREFIX
# QTBASE_SRC: Debian's qt6-base 6.4.2 source (apt-get source qt6-base, after adding a deb-src entry) or
#   Qt's qtbase-everywhere-src-6.4.2. Debian's copy lacks src/3rdparty/wintab: the two headers in
#   wintab/ beside the SDK in its download (Wacom's public tablet headers) are put there.
# QTSERIALPORT_SRC: Qt Serial Port at the tag v6.4.2 (Qt's git or its source archive).
# Needs: qt6-base-dev qt6-base-dev-tools (the host tools, same version), g++-mingw-w64-x86-64-posix,
#   cmake, ninja-build.
set -euo pipefail
base=$(realpath "$1"); serial=$(realpath "$2"); prefix=$(realpath -m "$3"); out=$(pwd)
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
mkdir -p "$base/src/3rdparty/wintab"
cp -n "$here/wintab/wintab.h" "$here/wintab/pktdef.h" "$base/src/3rdparty/wintab/" || true
mkdir -p "$prefix/lib/cmake"
cp "$here/../../cmake/mingw-w64.cmake" "$prefix/lib/cmake/mingw-w64.cmake"
cd "$work"
mkdir base && cd base
"$base/configure" -prefix "$prefix" -release -shared -xplatform win32-g++ \
  -qt-host-path /usr -nomake tests -nomake examples -no-opengl -no-dbus -no-icu -no-openssl \
  -no-feature-sql -no-feature-printsupport -no-feature-concurrent -no-feature-xml \
  -qt-zlib -qt-pcre -qt-libpng -qt-libjpeg -qt-freetype -qt-harfbuzz -qt-doubleconversion \
  -- -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake -DCMAKE_TOOLCHAIN_FILE="$prefix/lib/cmake/mingw-w64.cmake"
cmake --build . --parallel
cmake --install .
cd "$work" && mkdir serial && cd serial
"$prefix/bin/qt-cmake" -G Ninja -S "$serial" -B . -DCMAKE_BUILD_TYPE=Release
cmake --build . --parallel
cmake --install .
cd "$out" && rm -rf "$work"
# relocatable: the toolchain file finds mingw-w64.cmake beside it wherever the SDK is unpacked
sed -i 's|set(__qt_initially_configured_toolchain_file ".*")|set(__qt_initially_configured_toolchain_file "${CMAKE_CURRENT_LIST_DIR}/../mingw-w64.cmake")|' \
  "$prefix/lib/cmake/Qt6/qt.toolchain.cmake"
find "$prefix/bin" "$prefix/plugins" -name '*.dll' -exec x86_64-w64-mingw32-strip --strip-unneeded {} +
tar -C "$prefix" -cf - . | xz -T0 -6 > "$out/qt-6.4.2-mingw-w64.tar.xz"
echo "Qt for MinGW-w64 in $prefix, packed as qt-6.4.2-mingw-w64.tar.xz"
