#!/usr/bin/env bash
# Checks that the layers include downwards only: app/ over status/ over settings/, view/ and res/.
set -euo pipefail
cd "$(dirname "$0")/.."
bad=0
check() {  # FOLDER FORBIDDEN-FOLDERS...
    local folder=$1; shift
    for higher in "$@"; do
        if grep -n "#include \"$higher/" "$folder"/* 2>/dev/null; then
            echo "$folder/ must not include from $higher/" >&2
            bad=1
        fi
    done
}
check status app
check settings app status view
check view app status settings
check res app status settings view
exit $bad
