#!/usr/bin/env bash
# Runs a Windows program under Wine in the given prefix: wine-emulator.sh PREFIX win32|win64 PROGRAM [ARGS...]
# The loader is chosen by the program's width, not by Debian's wrapper, which picks the 32-bit
# loader whenever it is installed, even where the host cannot run it.
set -e
export WINEPREFIX="$1" WINEARCH="$2"; shift 2
if [ "$WINEARCH" = win64 ]; then
    LOADER=/usr/lib/wine/wine64
    export WINELOADER=$LOADER
else
    LOADER=/usr/lib/wine/wine
fi
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a "$LOADER" "$@"
fi
exec "$LOADER" "$@"
