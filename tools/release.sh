#!/usr/bin/env bash
# Makes the release in dist/: for each width (win32, win64) a zip (the stripped program, the console
# query tool and a README for Windows users) and a per-user Windows Installer package; the winget and
# scoop manifests for them (dist/winget, dist/scoop); and dist/SHA256SUMS. Checks them all before it
# ends. Builds what is missing in build/mingw and build/mingw64.
# Usage: tools/release.sh [--download-url URL] [--unconfigured]
#   --download-url URL  where the publisher will offer the packages, for the manifests
#                       (default: the build's web site followed by /download)
#   --unconfigured      packages from a build without a real status host, web site or e-mail address,
#                       or with a placeholder download address (tests and CI): their names and their
#                       README.txt say so. Without it such a build is refused.
set -euo pipefail
cd "$(dirname "$0")/.."
URL=""
UNCONFIGURED=()
while [ $# -gt 0 ]; do
    case $1 in
        --download-url) URL=${2:-}; shift 2 ;;
        --unconfigured) UNCONFIGURED=(--unconfigured); shift ;;
        *) echo "usage: tools/release.sh [--download-url URL] [--unconfigured]" >&2; exit 2 ;;
    esac
done
tools/install-deps.sh
VERSION="$(sed -n 's/^project(Tallowin VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
release() { python3 tools/release/release.py "$@"; }
rm -rf dist
mkdir -p dist

package() {  # TREE TOOLCHAIN TRIPLE WIDTH
    local tree=$1 toolchain=$2 triple=$3 width=$4
    [ -f "$tree/CMakeCache.txt" ] ||
        cmake -S . -B "$tree" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$tree" -j"$(nproc)" --target Tallowin tallowin-query startup-entry
    local stage="dist/stage/$width" name
    mkdir -p "$stage"
    "$triple-strip" -o "$stage/Tallowin.exe" "$tree/Tallowin.exe"
    "$triple-strip" -o "$stage/tallowin-query.exe" "$tree/tallowin-query.exe"
    name="$(release stage "$tree" "$VERSION" "$width" "$stage" --download-url "$URL" "${UNCONFIGURED[@]}")"
    touch -d "@$(git log -1 --format=%ct 2>/dev/null || date +%s)" "$stage"/*
    (cd "$stage" && zip -q -X "../../$name.zip" Tallowin.exe tallowin-query.exe README.txt)
    release msi "$tree" "$stage" "$VERSION" "$width" "dist/$name.msi"
    echo "dist/$name.zip and .msi: Tallowin.exe $(stat -c %s "$stage/Tallowin.exe") bytes"
}

package build/mingw cmake/mingw-i686.cmake i686-w64-mingw32 win32
package build/mingw64 cmake/mingw-x86_64.cmake x86_64-w64-mingw32 win64
rm -rf dist/stage
release manifests dist "$VERSION" build/mingw64 --download-url "$URL"
(cd dist && sha256sum -- *.zip *.msi > SHA256SUMS)
release check dist "$VERSION"
cat dist/SHA256SUMS
