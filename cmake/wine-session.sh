#!/bin/sh
# wine-session.sh start|stop DIR
# start: a headless X server, a fresh 32-bit Wine prefix in DIR/prefix and a
# persistent wineserver, so every test of one run shares one warm session.
# stop: ends the wineserver and the X server.
set -eu
action=$1
session=$2
export WINEPREFIX="$session/prefix"
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

case "$action" in
start)
    "$0" stop "$session" 2>/dev/null || true
    rm -rf "$session"
    mkdir -p "$WINEPREFIX"
    n=90
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    echo $! >"$session/xvfb.pid"
    echo ":$n" >"$session/display"
    i=0
    while [ ! -e "/tmp/.X11-unix/X$n" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
    export DISPLAY=":$n"
    wineserver -p >/dev/null 2>&1 </dev/null
    # The first program in a new prefix sets it up (and waits for that): an
    # explicit "wineboot -i" on top starts a second services.exe, and the two
    # then answer service calls from two different service databases.
    # A crashing test must fail, not wait for someone to close a dialog.
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    # No window manager runs here: Wine would wait 2 s at every hidden
    # window for one to acknowledge it (a dialog's end, a box's end).
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    ;;
stop)
    if [ -d "$WINEPREFIX" ]; then wineserver -k 2>/dev/null || true; fi
    if [ -f "$session/xvfb.pid" ]; then
        kill "$(cat "$session/xvfb.pid")" 2>/dev/null || true
        rm -f "$session/xvfb.pid"
    fi
    ;;
*)
    echo "usage: $0 start|stop DIR" >&2
    exit 2
    ;;
esac
