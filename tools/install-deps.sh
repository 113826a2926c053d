#!/usr/bin/env bash
# Installs what building and testing Tallowin needs on Debian, when it is missing. Each check looks
# for what the scripts run, not for a name that something else may occupy.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/host.sh
need=()
have() { command -v "$1" >/dev/null 2>&1; }
imagemagick() { "$1" -version 2>/dev/null | grep -q ImageMagick; }
have cmake || need+=(cmake)
have make || need+=(make)
have clang++ || need+=(clang)
have g++ || need+=(g++)
have i686-w64-mingw32-g++-posix || need+=(g++-mingw-w64-i686-posix)
have x86_64-w64-mingw32-g++-posix || need+=(g++-mingw-w64-x86-64-posix)
[ -x /usr/lib/wine/wine64 ] || need+=(wine wine64)
# 32-bit Wine only where 32-bit code runs: elsewhere it cannot start, and Debian's wrapper would
# pick it for every program.
need32=()
[ "$HOST_RUNS_32BIT" = 1 ] && ! wine32_installed && need32+=(wine32:i386)
have Xvfb || need+=(xvfb)
have xdpyinfo || need+=(x11-utils)
have xdotool || need+=(xdotool)
{ imagemagick import && imagemagick convert; } || need+=(imagemagick)
have python3 || need+=(python3)
have zip || need+=(zip)
have wrestool || need+=(icoutils)
# The release's installer packages and the check of them and of the package managers' manifests.
have wixl || need+=(wixl)
have msiinfo || need+=(msitools)
python3 -c 'import jsonschema' 2>/dev/null || need+=(python3-jsonschema)
python3 -c 'import yaml' 2>/dev/null || need+=(python3-yaml)
{ have prometheus && have promtool; } || need+=(prometheus)  # the exporter's end-to-end test scrapes with it
[ -d /usr/src/googletest ] || need+=(googletest)
[ -e /usr/include/gtest/gtest.h ] || need+=(libgtest-dev)
[ -e /usr/include/benchmark/benchmark.h ] || need+=(libbenchmark-dev)
[ -e /usr/include/CLI/CLI.hpp ] || need+=(libcli11-dev)
[ -e /usr/include/nlohmann/json.hpp ] || need+=(nlohmann-json3-dev)
ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 || need+=(libclang-rt-14-dev)
[ ${#need[@]} -eq 0 ] && [ ${#need32[@]} -eq 0 ] && exit 0
echo "Installing: ${need[*]} ${need32[*]}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
[ ${#need32[@]} -eq 0 ] || $SUDO dpkg --add-architecture i386
tools/apt.sh update
tools/apt.sh install "${need[@]}" ca-certificates
# 32-bit Wine on its own: where it cannot be had, the tests and the demo run the 64-bit build.
if [ ${#need32[@]} -gt 0 ] && ! tools/apt.sh install "${need32[@]}"; then
    echo "32-bit Wine could not be installed; the 64-bit build will be run instead" >&2
fi
