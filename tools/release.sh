#!/usr/bin/env bash
# Makes the release packages: dist/Tallowin-VERSION-win32.zip and dist/Tallowin-VERSION-win64.zip,
# each with the stripped program, the console query tool and a README for Windows users, and
# dist/SHA256SUMS beside them. Builds what is missing in build/mingw and build/mingw64.
# Usage: tools/release.sh
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
VERSION="$(sed -n 's/^project(Tallowin VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
rm -rf dist
mkdir -p dist

package() {  # TREE TOOLCHAIN TRIPLE SUFFIX WIDTH
    local tree=$1 toolchain=$2 triple=$3 suffix=$4 width=$5
    [ -f "$tree/CMakeCache.txt" ] ||
        cmake -S . -B "$tree" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$tree" -j"$(nproc)" --target Tallowin tallowin-query
    local name="Tallowin-$VERSION-$suffix" stage="dist/stage/Tallowin-$VERSION-$suffix"
    mkdir -p "$stage"
    "$triple-strip" -o "$stage/Tallowin.exe" "$tree/Tallowin.exe"
    "$triple-strip" -o "$stage/tallowin-query.exe" "$tree/tallowin-query.exe"
    # Windows users read it in Notepad: CRLF line ends.
    sed -e "s/@VERSION@/$VERSION/; s/@WIDTH@/$width/" -e 's/$/\r/' tools/release/README.txt > "$stage/README.txt"
    touch -d "@$(git log -1 --format=%ct 2>/dev/null || date +%s)" "$stage"/*
    (cd "$stage" && zip -q -X "../../$name.zip" Tallowin.exe tallowin-query.exe README.txt)
    echo "dist/$name.zip: Tallowin.exe $(stat -c %s "$stage/Tallowin.exe") bytes"
}

package build/mingw cmake/mingw-i686.cmake i686-w64-mingw32 win32 32-bit
package build/mingw64 cmake/mingw-x86_64.cmake x86_64-w64-mingw32 win64 64-bit
rm -rf dist/stage
(cd dist && sha256sum -- *.zip > SHA256SUMS)
cat dist/SHA256SUMS
