#!/bin/sh
# wine-session.sh start DIR win32|win64
#   A headless X server, a fresh Wine prefix of that architecture in
#   DIR/prefix and a persistent wineserver, so every test of one run shares
#   one warm session. When Xvfb or Wine does not come up, it says why and
#   fails.
# wine-session.sh stop DIR
#   Ends the wineserver and the X server.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
action=${1:-}
session=${2:-}
usage() {
    echo "usage: $0 start DIR win32|win64 | stop DIR" >&2
    exit 2
}
[ -n "$session" ] || usage

# Prints the log of what failed to come up and fails.
failed() {
    echo "wine-session: $1" >&2
    if [ -s "$2" ]; then sed 's/^/  | /' "$2" >&2; fi
    exit 1
}

case "$action" in
start)
    case "${3:-}" in win32 | win64) ;; *) usage ;; esac
    "$0" stop "$session" 2>/dev/null || true
    rm -rf "$session"
    mkdir -p "$session/prefix"
    echo "$3" >"$session/arch"
    . "$here/wine-env.sh"

    # Xvfb picks a free display and writes its number once it accepts
    # clients.
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp \
        3>"$session/displayfd" >"$session/xvfb.log" 2>&1 </dev/null &
    echo $! >"$session/xvfb.pid"
    i=0
    while [ ! -s "$session/displayfd" ]; do
        kill -0 "$(cat "$session/xvfb.pid")" 2>/dev/null ||
            failed "Xvfb exited before it took a display:" "$session/xvfb.log"
        [ $i -lt 200 ] || failed "Xvfb took no display within 20 s:" "$session/xvfb.log"
        sleep 0.1
        i=$((i + 1))
    done
    echo ":$(cat "$session/displayfd")" >"$session/display"
    DISPLAY=$(cat "$session/display")
    export DISPLAY

    status=0
    "$wine_server" -p >"$session/wineserver.log" 2>&1 </dev/null || status=$?
    [ $status = 0 ] || failed "$wine_server -p exited with status $status:" "$session/wineserver.log"
    # The first program in a new prefix sets it up (and waits for that): an
    # explicit "wineboot -i" on top starts a second services.exe, and the two
    # then answer service calls from two different service databases.
    # A crashing test must fail, not wait for someone to close a dialog.
    "$wine_loader" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
        >"$session/wine.log" 2>&1 </dev/null || status=$?
    [ $status = 0 ] || failed "$wine_loader ($WINEARCH) exited with status $status:" "$session/wine.log"
    # No window manager runs here: Wine would wait 2 s at every hidden
    # window for one to acknowledge it (a dialog's end, a box's end).
    "$wine_loader" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
        >"$session/wine.log" 2>&1 </dev/null || status=$?
    [ $status = 0 ] || failed "$wine_loader ($WINEARCH) exited with status $status:" "$session/wine.log"
    # Windows 2000's faces, as Wine ships them: without them Wine draws "MS
    # Sans Serif" with a host face of other metrics, and the caption's buttons
    # as letters. Each program scans the folder when it starts, so copying
    # them into the set-up prefix is enough.
    for font in sserife.fon sseriff.fon tahoma.ttf tahomabd.ttf marlett.ttf; do
        cp /usr/share/wine/fonts/$font "$WINEPREFIX/drive_c/windows/Fonts/" 2>"$session/fonts.log" ||
            failed "no $font from the package fonts-wine:" "$session/fonts.log"
    done
    ;;
stop)
    if [ -f "$session/arch" ] && [ -d "$session/prefix" ]; then
        . "$here/wine-env.sh"
        "$wine_server" -k 2>/dev/null || true
    fi
    if [ -f "$session/xvfb.pid" ]; then
        kill "$(cat "$session/xvfb.pid")" 2>/dev/null || true
        rm -f "$session/xvfb.pid"
    fi
    ;;
*)
    usage
    ;;
esac
