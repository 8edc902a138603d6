# Sourced by the scripts that run Windows programs: the project's own Wine prefix (64-bit, it runs
# the 32-bit and the 64-bit programs alike) inside the build folder, no installer dialogs.
kel_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${KEL_WINEPREFIX:-$kel_root/build/wine-prefix}
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

# Whether this machine runs 32-bit x86 programs: "yes" or "no". Some kernels are built without
# 32-bit support; there every i386 program ends with "Exec format error", Wine's 32-bit loader and
# server among them. Probed once, by Wine's 32-bit loader answering its version, and exported, so
# that every script and test started below takes the same answer (set it to "no" beforehand to
# take the 64-bit-only way on any machine).
if [ "${KEL_RUNS_32BIT:-}" != yes ] && [ "${KEL_RUNS_32BIT:-}" != no ]; then
    if /usr/lib/wine/wine --version >/dev/null 2>&1; then
        KEL_RUNS_32BIT=yes
    else
        KEL_RUNS_32BIT=no
    fi
fi
export KEL_RUNS_32BIT

# The Wine loader every Wine call goes through. Debian's launcher ("wine", and "wineboot",
# "winepath" through it) takes the 32-bit loader whenever that is installed, even for 64-bit
# programs, so without 32-bit support the 64-bit loader is called directly, and named as the
# loader of the processes it starts. The "wineserver" script takes the 64-bit server either way.
if [ "$KEL_RUNS_32BIT" = yes ]; then
    kel_wine_loader=wine
else
    kel_wine_loader=/usr/lib/wine/wine64
    export WINELOADER=$kel_wine_loader
fi
kel_wine() {
    "$kel_wine_loader" "$@"
}

# The exit status of scripts/wine-run when it is asked to run a 32-bit program where none can run.
kel_status_no_32bit=69

# Prints the machine field of a Windows program or DLL in hex ("14c": 32-bit x86, "8664": x86-64);
# prints nothing for any other file or name.
kel_pe_machine() {
    local file=$1 header
    [ -f "$file" ] && [ "$(head -c 2 -- "$file")" = MZ ] || return 0
    header=$(od -An -tu4 -j 60 -N 4 -- "$file" | tr -d ' ')
    [ -n "$header" ] && [ "$(od -An -tx1 -j "$header" -N 4 -- "$file" | tr -d ' ')" = 50450000 ] ||
        return 0
    od -An -tx2 -j $((header + 4)) -N 2 -- "$file" | tr -d ' ' | sed 's/^0*//'
}

# Creates the prefix on first use; parallel callers wait for the first one. Without a window
# manager (Xvfb) Wine stalls about 2 s whenever it hides a window with a caption, unless it
# draws the window frames itself: "Managed" = "N".
# The settings' marker names their version: bump it when the settings below change, so that
# existing prefixes take them too.
kel_prefix_settings=$WINEPREFIX/.kel-prefix-settings-2
# A prefix made where 32-bit programs cannot run lacks Wine's 32-bit part. It is marked, and
# completed when it is next used where they run (Wine updates a prefix without its time stamp).
kel_prefix_without_32bit=$WINEPREFIX/.kel-prefix-without-32-bit
kel_ensure_wine_prefix() {
    if [ -f "$kel_prefix_settings" ] &&
        { [ "$KEL_RUNS_32BIT" = no ] || [ ! -f "$kel_prefix_without_32bit" ]; }; then
        return 0
    fi
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        if [ ! -f "$WINEPREFIX/system.reg" ]; then
            kel_wine wineboot --init >/dev/null 2>&1 || true
            wineserver --wait || true
            if [ "$KEL_RUNS_32BIT" = no ]; then
                touch "$kel_prefix_without_32bit"
            fi
        elif [ "$KEL_RUNS_32BIT" = yes ] && [ -f "$kel_prefix_without_32bit" ]; then
            rm -f "$WINEPREFIX/.update-timestamp"
            kel_wine wineboot --update >/dev/null 2>&1 || true
            wineserver --wait || true
            rm -f "$kel_prefix_without_32bit"
        fi
        if [ ! -f "$kel_prefix_settings" ]; then
            kel_wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
            # A program that crashes gets its backtrace printed and ends, instead of waiting
            # behind Wine's crash dialog.
            kel_wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 \
                /f >/dev/null 2>&1
            touch "$kel_prefix_settings"
        fi
    ) 9>"$WINEPREFIX.lock"
}

# Keeps one Wine server (and Wine's own service processes) running for a whole test run instead
# of one per test program. Call it with the display the tests are to use already set: Wine makes
# its desktop when the server starts. The services are started here, detached from the caller's
# output, so that no test's output pipe stays open behind them. Given the path of our desktop
# keeper (a Windows program built with the tests), it starts Wine's desktop process the same way
# and keeps it running until the server ends.
# Usage: kel_start_wine_server [DESKTOP_KEEPER]
kel_start_wine_server() {
    kel_ensure_wine_prefix
    # A server left from an earlier run may sit on a display that is gone; start afresh.
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    wineserver -p
    kel_wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
    if [ -n "${1:-}" ]; then
        local said
        said=$(mktemp)
        kel_wine "$1" </dev/null >"$said" 2>/dev/null &
        for _ in $(seq 100); do
            grep -q ready "$said" && break
            sleep 0.1
        done
        rm -f "$said"
    fi
}

kel_stop_wine_server() {
    wineserver -k 2>/dev/null || true
}
