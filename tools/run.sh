#!/usr/bin/env bash
# Runs Tallowin under Wine against the bundled status simulator, shows its window after the first
# report and saves a screenshot. Usage: tools/run.sh [--once] [--scenario FILE]
#   --once      exit after the first screenshot (otherwise it runs until interrupted)
#   --scenario  a simulator scenario (default: the built-in one, tools/statusd/scenarios/default.json)
set -euo pipefail
cd "$(dirname "$0")/.."
ONCE=0
SCENARIO=()
while [ $# -gt 0 ]; do
    case "$1" in
        --once) ONCE=1 ;;
        --scenario) SCENARIO=(--scenario "$(realpath "$2")"); shift ;;
        *) echo "usage: tools/run.sh [--once] [--scenario FILE]" >&2; exit 2 ;;
    esac
    shift
done
tools/install-deps.sh
source tools/host.sh
host_settle_wine32

# The 32-bit program is the product; a host that cannot run 32-bit code runs the 64-bit build.
if [ "$HOST_RUNS_32BIT" = 1 ]; then
    TREE=build/mingw TOOLCHAIN=cmake/mingw-i686.cmake
    echo "Running the 32-bit Tallowin.exe ($HOST_32BIT_REASON)."
else
    TREE=build/mingw64 TOOLCHAIN=cmake/mingw-x86_64.cmake
    echo "Running the 64-bit Tallowin.exe: $HOST_32BIT_REASON."
fi

# Build what is missing.
if [ ! -x build/native/tallowin-statusd ]; then
    cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
    cmake --build build/native -j"$(nproc)" --target tallowin-statusd
fi
if [ ! -f "$TREE/Tallowin.exe" ] || [ ! -f "$TREE/tallowin-probe.exe" ]; then
    cmake -S . -B "$TREE" -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$TREE" -j"$(nproc)" --target Tallowin tallowin-probe
fi

source tools/wine-env.sh "$TREE"
ADDRESS=127.0.0.12
OUT="$PWD/build/run"
mkdir -p "$OUT"
LOG="$OUT/statusd.log"
: > "$LOG"
build/native/tallowin-statusd --address "$ADDRESS" --log "$LOG" --max-seconds 604800 "${SCENARIO[@]}" &
STATUSD=$!
TALLOWIN_STATUS_HOST=$ADDRESS "$WINE" "$TREE/Tallowin.exe" &
TALLOWIN=$!
PROBE="$TREE/tallowin-probe.exe"

stop() {
    trap - EXIT INT TERM
    "$WINE" "$PROBE" post main 0x10 0 0 >/dev/null 2>&1 || true  # WM_CLOSE: the program saves its settings
    wait "$TALLOWIN" 2>/dev/null || true
    kill "$STATUSD" 2>/dev/null || true
    wine_env_cleanup
}
trap stop EXIT INT TERM

# The first report is drawn on the tick after the status answer arrives: the third request.
for _ in $(seq 300); do
    [ "$(grep -c '"code":"status"' "$LOG")" -ge 2 ] && break
    if ! kill -0 "$TALLOWIN" 2>/dev/null; then
        echo "Tallowin ended before it reported (is another instance running in $WINEPREFIX?)" >&2
        exit 1
    fi
    sleep 0.1
done
sleep 1
"$WINE" "$PROBE" post main 0x8064 0 0x202 >/dev/null  # as a left click on the tray icon
sleep 1
SHOT="$OUT/tallowin.png"
import -window root "$SHOT"
echo "Tallowin is reporting; screenshot of its window: $SHOT"
if [ "$ONCE" = 1 ]; then
    exit 0
fi
echo "Running on display $DISPLAY; press Ctrl+C to stop."
wait "$TALLOWIN" || true
