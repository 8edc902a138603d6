# Sourced by the scripts that run Windows programs: the project's own Wine prefix (64-bit, it runs
# the 32-bit and the 64-bit programs alike) inside the build folder, no installer dialogs.
kel_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${KEL_WINEPREFIX:-$kel_root/build/wine-prefix}
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

# Creates the prefix on first use; parallel callers wait for the first one. Without a window
# manager (Xvfb) Wine stalls about 2 s whenever it hides a window with a caption, unless it
# draws the window frames itself: "Managed" = "N".
# The settings' marker names their version: bump it when the settings below change, so that
# existing prefixes take them too.
kel_prefix_settings=$WINEPREFIX/.kel-prefix-settings-2
kel_ensure_wine_prefix() {
    if [ -f "$kel_prefix_settings" ]; then
        return 0
    fi
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        if [ ! -f "$WINEPREFIX/system.reg" ]; then
            wineboot --init >/dev/null 2>&1 || true
            wineserver --wait || true
        fi
        if [ ! -f "$kel_prefix_settings" ]; then
            wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
            # A program that crashes gets its backtrace printed and ends, instead of waiting
            # behind Wine's crash dialog.
            wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
                >/dev/null 2>&1
            touch "$kel_prefix_settings"
        fi
    ) 9>"$WINEPREFIX.lock"
}

# Keeps one Wine server (and Wine's own service processes) running for a whole test run instead
# of one per test program. Call it with the display the tests are to use already set: Wine makes
# its desktop when the server starts. The services are started here, detached from the caller's
# output, so that no test's output pipe stays open behind them.
kel_start_wine_server() {
    kel_ensure_wine_prefix
    # A server left from an earlier run may sit on a display that is gone; start afresh.
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    wineserver -p
    wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
}

kel_stop_wine_server() {
    wineserver -k 2>/dev/null || true
}
