#!/usr/bin/env bash
# Builds both trees and runs every test: native unit tests, fuzzers, Windows tests and end-to-end tests under Wine.
# Usage: tools/test.sh [--quick]   (--quick leaves out the slow end-to-end group)
set -euo pipefail
cd "$(dirname "$0")/.."
QUICK=0
[ "${1:-}" = "--quick" ] && QUICK=1
tools/install-deps.sh

JOBS=$(nproc)
echo "== Native tree"
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build/native -j"$JOBS"
(cd build/native && ctest --output-on-failure -j"$JOBS")

echo "== Windows tree"
cmake -S . -B build/mingw -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release \
      -DTALLOWIN_STATUSD="$PWD/build/native/tallowin-statusd" >/dev/null
cmake --build build/mingw -j"$JOBS"
unset DISPLAY  # the tests read the screen: they get a virtual display of their own
source tools/wine-env.sh build/mingw
trap wine_env_cleanup EXIT
LABELS=()
[ "$QUICK" = 1 ] && LABELS=(-LE slow)
(cd build/mingw && ctest --output-on-failure -j1 "${LABELS[@]}")
