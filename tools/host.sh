#!/usr/bin/env bash
# Sourced: whether this host can execute 32-bit x86 code. Some hosts of the same kind refuse every
# 32-bit executable ("Exec format error"), 32-bit Wine included; there only 64-bit programs run.
# Sets HOST_RUNS_32BIT to 1 or 0 and HOST_32BIT_REASON to a line that says why.
host_runs_32bit() {
    local probe
    probe="$(mktemp /tmp/tallowin-i386.XXXXXX)"
    # A minimal static i386 ELF: headers, one program header, then exit(0) through int 0x80.
    printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08'\
'\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00'\
'\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00'\
'\xb8\x01\x00\x00\x00\xbb\x00\x00\x00\x00\xcd\x80' > "$probe"
    chmod +x "$probe"
    local result=1
    "$probe" 2>/dev/null && result=0
    rm -f "$probe"
    return $result
}

if [ -z "${HOST_RUNS_32BIT:-}" ]; then
    if host_runs_32bit; then
        HOST_RUNS_32BIT=1
        HOST_32BIT_REASON="this host runs 32-bit code"
    else
        HOST_RUNS_32BIT=0
        HOST_32BIT_REASON="this host cannot execute 32-bit code (a minimal i386 program fails to start)"
    fi
fi
export HOST_RUNS_32BIT HOST_32BIT_REASON

wine32_installed() { [ -x /usr/lib/wine/wine ] && [ -e /usr/lib/wine/wineserver32 ]; }

# Called once the dependencies are in: where 32-bit code runs but 32-bit Wine could not be installed
# (its packages must match the 64-bit ones version for version, and a mirror can lag behind), only
# the 64-bit build can run, so everything runs on that.
host_settle_wine32() {
    if [ "$HOST_RUNS_32BIT" = 1 ] && ! wine32_installed; then
        HOST_RUNS_32BIT=0
        HOST_32BIT_REASON="this host runs 32-bit code, but 32-bit Wine could not be installed"
    fi
}
