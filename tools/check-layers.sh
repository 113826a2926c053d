#!/usr/bin/env bash
# Checks that the layers include downwards only: app/ over status/ over settings/, view/ and res/; the
# companion in query/ stands beside app/, over the same core, and nothing below includes it.
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
check status app query
check settings app status view query
check view app status settings query
check res app status settings view query
check query app
exit $bad
