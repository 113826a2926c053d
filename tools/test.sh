#!/usr/bin/env bash
# Builds the native tree and both Windows trees, makes the release packages, and runs every test:
# native unit tests, fuzzers, Windows test programs and end-to-end tests under Wine.
# Usage: tools/test.sh [--quick]   (--quick leaves out the slow end-to-end group)
#
# Where this host runs 32-bit code, the whole Windows suite runs on the 32-bit build (the product)
# and the Windows test programs also run on the 64-bit build. Where it cannot, everything runs on
# the 64-bit build.
set -euo pipefail
cd "$(dirname "$0")/.."
QUICK=0
[ "${1:-}" = "--quick" ] && QUICK=1
tools/install-deps.sh
source tools/host.sh
host_settle_wine32

JOBS=$(nproc)
echo "== Layers"
tools/check-layers.sh
echo "== Native tree"
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build/native -j"$JOBS"
(cd build/native && ctest --output-on-failure -j"$JOBS")
# GCC, the platform's default compiler, builds the same tree warning-free too.
echo "== Native tree with GCC"
cmake -S . -B build/native-gcc -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++ >/dev/null
cmake --build build/native-gcc -j"$JOBS"
(cd build/native-gcc && ctest --output-on-failure -j"$JOBS" -R '^core_tests$')

for tree in mingw:i686 mingw64:x86_64; do
    echo "== Windows tree build/${tree%%:*} (${tree##*:})"
    cmake -S . -B "build/${tree%%:*}" -DCMAKE_TOOLCHAIN_FILE="cmake/mingw-${tree##*:}.cmake" \
          -DCMAKE_BUILD_TYPE=Release -DTALLOWIN_STATUSD="$PWD/build/native/tallowin-statusd" >/dev/null
    cmake --build "build/${tree%%:*}" -j"$JOBS"
done
echo "== Release packages"
tools/release.sh --unconfigured  # the trees use the placeholder host and addresses

unset DISPLAY  # the tests read the screen: they get a virtual display of their own
failed=()
run_windows_tests() {  # TREE WHAT CTEST-ARGS...
    local tree=$1 what=$2; shift 2
    echo "== $what"
    source tools/wine-env.sh "build/$tree"
    (cd "build/$tree" && ctest --output-on-failure -j1 "$@") || failed+=("build/$tree")
    wine_env_cleanup prefix
}
trap 'wine_env_cleanup all 2>/dev/null || true' EXIT
SLOW=()
[ "$QUICK" = 1 ] && SLOW=(-LE slow)
if [ "$HOST_RUNS_32BIT" = 1 ]; then
    run_windows_tests mingw "32-bit build: every Windows and end-to-end test ($HOST_32BIT_REASON)" "${SLOW[@]}"
    run_windows_tests mingw64 "64-bit build: the Windows test programs" -L '^win$'
else
    run_windows_tests mingw64 "64-bit build: every Windows and end-to-end test ($HOST_32BIT_REASON)" "${SLOW[@]}"
fi
if [ ${#failed[@]} -gt 0 ]; then
    echo "Windows tests failed in: ${failed[*]}" >&2
    exit 1
fi
