#!/usr/bin/env bash
# Runs a Windows program under 32-bit Wine in the given prefix: wine-emulator.sh PREFIX PROGRAM [ARGS...]
set -e
export WINEPREFIX="$1"; shift
export WINEARCH=win32
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a wine "$@"
fi
exec wine "$@"
