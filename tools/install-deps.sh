#!/usr/bin/env bash
# Installs what building and testing Tallowin needs on Debian, when it is missing.
set -euo pipefail
need=()
have() { command -v "$1" >/dev/null 2>&1; }
have cmake || need+=(cmake)
have clang++ || need+=(clang)
have i686-w64-mingw32-g++-posix || need+=(g++-mingw-w64-i686)
have wine || need+=(wine)
[ -e /usr/lib/wine/wineserver32 ] || need+=(wine32:i386)
have Xvfb || need+=(xvfb)
have xdotool || need+=(xdotool)
have convert || need+=(imagemagick)
have python3 || need+=(python3)
[ -d /usr/src/googletest ] || need+=(googletest)
[ -e /usr/include/gtest/gtest.h ] || need+=(libgtest-dev)
[ -e /usr/include/benchmark/benchmark.h ] || need+=(libbenchmark-dev)
[ -e /usr/include/CLI/CLI.hpp ] || need+=(libcli11-dev)
[ -e /usr/include/nlohmann/json.hpp ] || need+=(nlohmann-json3-dev)
ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 || need+=(libclang-rt-14-dev)
[ ${#need[@]} -eq 0 ] && exit 0
echo "Installing: ${need[*]}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
$SUDO dpkg --add-architecture i386
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" make ca-certificates >/dev/null
