# Sourced by the scripts that run the Windows build under Wine: a private X display and a fresh Wine prefix
# for one run, and their removal afterwards.
#
#   wine_env_use_loader_for PROGRAM
#                     picks the loader for a Windows program: the 32-bit one (/usr/lib/wine/wine) for an
#                     x86 program, else the 64-bit one (the default); call it before wine_env_start
#   wine_env_start    starts Xvfb on a free display, creates a prefix under /tmp, exports DISPLAY,
#                     WINEPREFIX, WINEDEBUG, WINEDLLOVERRIDES and WINE (the loader)
#   wine_env_stop     stops the prefix's server and that Xvfb (only the processes this run started) and
#                     removes the prefix; safe to call more than once, and from a trap
#   wine_run SECONDS PROGRAM ARGS...
#                     runs a Windows program under Wine, killed after SECONDS; answers its exit status
#                     (124 when it was killed; Wine cuts Windows exit codes to 8 bits)

WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
wine_env_xvfb_pid=""
wine_env_prefix=""

# The machine a Windows program is built for, from its PE header, in hex: 014c (x86) or 8664 (x64).
wine_env_pe_machine() {
    local offset
    offset=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ') || return 1
    [ -n "$offset" ] || return 1
    od -An -tx2 -j$((offset + 4)) -N2 "$1" | tr -d ' '
}

wine_env_use_loader_for() {
    local machine
    machine=$(wine_env_pe_machine "$1") || machine=0
    # od prints the field with its leading zero (014c): compare numbers, not texts.
    if [ -n "$machine" ] && (( 16#$machine == 16#14c )); then
        WINE=/usr/lib/wine/wine
    else
        WINE=/usr/lib/wine/wine64
    fi
}

wine_env_start() {
    [ -x "$WINE" ] || { echo "the Wine loader $WINE is not installed" >&2; return 1; }
    command -v Xvfb >/dev/null || { echo "Xvfb is not installed" >&2; return 1; }

    # A display nobody uses: no lock file and no socket for it. Another run may take the same one at the
    # same moment; then this Xvfb ends at once, and the next free display is tried.
    local display=90 attempts=0 waited
    while :; do
        while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do
            display=$((display + 1))
        done
        Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
        wine_env_xvfb_pid=$!
        waited=0
        until [ -e "/tmp/.X11-unix/X$display" ] || ! kill -0 "$wine_env_xvfb_pid" 2>/dev/null ||
            [ $waited -ge 100 ]; do
            sleep 0.1
            waited=$((waited + 1))
        done
        # The socket may be another run's: the display is ours only while our Xvfb still runs.
        sleep 0.2
        if kill -0 "$wine_env_xvfb_pid" 2>/dev/null && [ -e "/tmp/.X11-unix/X$display" ]; then
            break
        fi
        kill "$wine_env_xvfb_pid" 2>/dev/null
        wait "$wine_env_xvfb_pid" 2>/dev/null
        wine_env_xvfb_pid=""
        attempts=$((attempts + 1))
        if [ $attempts -ge 5 ]; then
            echo "Xvfb did not start (last tried :$display)" >&2
            return 1
        fi
        display=$((display + 1))
    done
    export DISPLAY=":$display"

    wine_env_prefix=$(mktemp -d /tmp/phonedock-wine.XXXXXX)
    export WINEPREFIX="$wine_env_prefix"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="  # no offer to install Mono or Gecko
    export WINE
    timeout 120 "$WINE" wineboot -i >/dev/null 2>&1 || { echo "the Wine prefix could not be created" >&2; return 1; }
    timeout 60 "$WINESERVER" -w
    # A crashing program ends (and fails) instead of waiting in the crash dialog.
    timeout 60 "$WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    # No window manager runs on the private display: a managed window that is shown or hidden waits 2 s
    # for one ("wait_for_withdrawn_state ... wait timed out") before going on.
    timeout 60 "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
}

wine_env_stop() {
    if [ -n "$wine_env_prefix" ]; then
        WINEPREFIX="$wine_env_prefix" timeout 30 "$WINESERVER" -k >/dev/null 2>&1 || true
        rm -rf "$wine_env_prefix"
        wine_env_prefix=""
    fi
    if [ -n "$wine_env_xvfb_pid" ]; then
        kill "$wine_env_xvfb_pid" 2>/dev/null || true
        wait "$wine_env_xvfb_pid" 2>/dev/null || true
        wine_env_xvfb_pid=""
    fi
}

wine_run() {
    local seconds=$1
    shift
    timeout --kill-after=5 "$seconds" "$WINE" "$@"
}
