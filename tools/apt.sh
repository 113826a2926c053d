#!/usr/bin/env bash
# apt-get that rides out a mirror in the middle of a sync: "update" and "install PACKAGES" are
# tried a few times, a minute apart at most. An update that still fails leaves the lists apt
# already has, which is what an install then tries; only a failed install is an error.
set -uo pipefail
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
attempts=5
case "${1:-}" in
update)
    for i in $(seq 1 $attempts); do
        $SUDO apt-get update -qq && exit 0
        [ "$i" -lt $attempts ] && echo "apt-get update failed; trying again in $((i * 10)) s" >&2 && sleep $((i * 10))
    done
    echo "apt-get update kept failing; carrying on with the package lists already here" >&2
    exit 0 ;;
install)
    shift
    for i in $(seq 1 $attempts); do
        $SUDO apt-get install -y -qq --no-install-recommends "$@" >/dev/null && exit 0
        [ "$i" -lt $attempts ] || break
        echo "apt-get install failed; trying again in $((i * 10)) s" >&2
        sleep $((i * 10))
        $SUDO apt-get update -qq || true
    done
    exit 1 ;;
*)
    echo "usage: tools/apt.sh update | install PACKAGE..." >&2
    exit 2 ;;
esac
