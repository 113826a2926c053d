#!/usr/bin/env bash
# Sourced: a Wine prefix for a build tree (booted once, one desktop with taskbar and tray) and an X display.
# Usage: source tools/wine-env.sh BUILD_DIR
# The tree's width (its wine-arch file: win32 or win64) picks the prefix's architecture and the Wine
# loader, which is called directly: Debian's wrapper would take the 32-bit one whenever it is installed.
# Afterwards $WINE runs a Windows program in the prefix.
WINE_BUILD_DIR="$(cd "$1" && pwd)"
WINEARCH="$(cat "$WINE_BUILD_DIR/wine-arch" 2>/dev/null || echo win32)"
if [ "$WINEARCH" = win64 ]; then
    WINE=/usr/lib/wine/wine64
    export WINELOADER=$WINE
else
    WINE=/usr/lib/wine/wine
    unset WINELOADER
fi
export WINE WINEARCH WINEPREFIX="$WINE_BUILD_DIR/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

# An X display: the user's when there is one that answers, else a virtual one that ends with this shell.
display_answers() { [ -n "${DISPLAY:-}" ] && { ! command -v xdpyinfo >/dev/null || xdpyinfo >/dev/null 2>&1; }; }
if ! display_answers; then
    for n in $(seq 70 99); do
        [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
        TALLOWIN_XVFB_PID=$!
        export DISPLAY=":$n"
        for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
        break
    done
fi

if [ ! -f "$WINEPREFIX/.tallowin-ready" ]; then
    mkdir -p "$WINEPREFIX"
    wineserver -k 2>/dev/null || true  # a persistent server of this prefix would keep -w below waiting
    "$WINE" wineboot -i >/dev/null 2>&1 || true
    wineserver -w
    # Every program shares one desktop with a taskbar and a tray; no crash dialogs in tests.
    "$WINE" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Tallowin /f >/dev/null 2>&1
    "$WINE" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Tallowin /d 1024x768 /f >/dev/null 2>&1
    "$WINE" reg add 'HKCU\Software\Wine\Explorer\Desktops\Tallowin' /v EnableShell /t REG_DWORD /d 1 /f >/dev/null 2>&1
    "$WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.tallowin-ready"
fi
wineserver -p
# Wine's services and the desktop (with its taskbar and tray) start here, holding no pipe of a
# test runner: a runner waits for every process that holds its output to end.
"$WINE" reg query 'HKCU\Software\Wine\Explorer' </dev/null >/dev/null 2>&1
"$WINE" explorer /desktop=Tallowin,1024x768 </dev/null >/dev/null 2>&1 &
for _ in $(seq 100); do
    # Into a file, not a pipe: a process that the probe might start must not hold a pipe open.
    "$WINE" "$WINE_BUILD_DIR/tallowin-probe.exe" windows </dev/null >"$WINEPREFIX/.windows" 2>/dev/null || true
    grep -q Shell_TrayWnd "$WINEPREFIX/.windows" && break
    sleep 0.1
done

# Ends this prefix's Wine; the virtual display too when `all` is given.
wine_env_cleanup() {
    wineserver -k 2>/dev/null || true
    if [ "${1:-all}" = all ] && [ -n "${TALLOWIN_XVFB_PID:-}" ]; then kill "$TALLOWIN_XVFB_PID" 2>/dev/null || true; fi
}
