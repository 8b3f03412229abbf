#!/bin/sh
# wine-session.sh start DIR win32|win64
#   A headless X server, a fresh Wine prefix of that architecture in
#   DIR/prefix and a persistent wineserver, so every test of one run shares
#   one warm session. The wineserver has a session of its own, out of reach
#   of an interrupt sent to the group that started it. Their ids and start
#   times go to DIR/xvfb.pid and DIR/wineserver.pid. When Xvfb or Wine does
#   not come up, or the start is interrupted, it says why, stops what it
#   started and fails. DIR must be new, empty or a session's folder: any
#   other is left as it is; one whose session runs, or that another start
#   prepares, is in use and left alone too.
# wine-session.sh stop DIR
#   Ends the prefix's Wine processes (wineserver -k), then the wineserver and
#   the X server, each only while its recorded id still names it (the same
#   start time and program): a stale id is left alone, its file removed.
# shellcheck disable=SC2154 # wine-env.sh sets wine_loader and wine_server
set -eu
here=$(cd "$(dirname "$0")" && pwd)
sentavio_root=$(dirname "$here")
. "$sentavio_root/scripts/common.sh"
action=${1:-}
session=${2:-}
usage() {
    echo "usage: $0 start DIR win32|win64 | stop DIR" >&2
    exit 2
}
[ -n "$session" ] || usage

# record NAME: the last background job's id and start time, in NAME.pid.
record() { echo "$! $(proc_stat $! 20)" >"$session/$1.pid"; }

# end_recorded NAME PROGRAM: ends the process NAME.pid records while that id
# still names it: started then, not ended, running a program the kernel
# names PROGRAM (a pattern). Waits until it is gone.
end_recorded() {
    [ -f "$session/$1.pid" ] || return 0
    read -r end_pid end_start <"$session/$1.pid" || true
    end_name=$2
    rm -f "$session/$1.pid"
    if recorded; then
        kill "$end_pid" 2>/dev/null || true
        within 10 gone || ! recorded || kill -9 "$end_pid" 2>/dev/null || true
    fi
}
recorded() {
    case $end_pid in '' | *[!0-9]*) return 1 ;; esac
    # shellcheck disable=SC2254 # PROGRAM is a pattern
    case $(sed -n 's/^[0-9]* (\(.*\)) .*$/\1/p' "/proc/$end_pid/stat" 2>/dev/null) in $end_name) ;; *) return 1 ;; esac
    [ "$(proc_stat "$end_pid" 20)" = "${end_start:-none}" ] && ! ended "$end_pid"
}
gone() { ! recorded; }

stop_session() {
    if [ -f "$session/arch" ] && [ -d "$session/prefix" ]; then
        . "$here/wine-env.sh"
        "$wine_server" -k 2>/dev/null || true
    fi
    end_recorded wineserver 'wineserver*'
    end_recorded xvfb Xvfb
}

# Prints the log of what failed to come up and fails; the EXIT trap then
# stops what was started.
failed() {
    echo "wine-session: $1" >&2
    if [ -s "$2" ]; then sed 's/^/  | /' "$2" >&2; fi
    exit 1
}

case "$action" in
start)
    case "${3:-}" in win32 | win64) ;; *) usage ;; esac
    # A session's folder holds session.lock (or, made by an older start,
    # arch and prefix); a folder with anything else in it is someone's.
    mkdir -p "$session"
    if [ ! -f "$session/session.lock" ] && { [ ! -f "$session/arch" ] || [ ! -d "$session/prefix" ]; } &&
        [ -n "$(ls -A "$session")" ]; then
        echo "wine-session: $session is not a Wine session's folder and not empty; nothing was deleted:" \
            "name a new or empty one" >&2
        exit 1
    fi
    # The lock is held as long as this start or any process of its session
    # runs: they inherit it. Taking it first is what makes two starts in one
    # folder, or a start beside a running session, exclusive.
    exec 9>>"$session/session.lock"
    if ! flock -n 9; then
        echo "wine-session: $session is in use by a running session or by another start;" \
            "stop it first with: $0 stop $session" >&2
        exit 1
    fi
    # What an earlier session left, one that ended without a stop.
    stop_session 2>/dev/null || true
    find "$session" -mindepth 1 -maxdepth 1 ! -name session.lock -exec rm -rf {} +
    mkdir "$session/prefix"
    echo "$3" >"$session/arch"
    on_exit 'status=$?; [ $status = 0 ] || stop_session; exit $status'
    . "$here/wine-env.sh"

    # comes_up NAME READY_FILE: waits until the process of NAME.pid has
    # written READY_FILE, and fails at once when it ends first.
    comes_up() {
        read -r pid _ <"$session/$1.pid"
        ready() {
            ended "$pid" && failed "$1 ended before it was ready:" "$session/$1.log"
            [ -s "$2" ]
        }
        within 20 ready "$@" || failed "$1 was not ready within 20 s:" "$session/$1.log"
    }
    # Xvfb picks a free display and writes its number once it accepts
    # clients.
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp \
        3>"$session/displayfd" >"$session/xvfb.log" 2>&1 </dev/null &
    record xvfb
    comes_up xvfb "$session/displayfd"
    echo ":$(cat "$session/displayfd")" >"$session/display"
    DISPLAY=$(cat "$session/display")
    export DISPLAY

    # In the foreground (-f) of a background job, so that its id is known,
    # and in a session of its own (see interruptible in common.sh). It names
    # its socket's folder in the prefix once it listens.
    setsid -w "$wine_server" -f -p >"$session/wineserver.log" 2>&1 </dev/null &
    record wineserver
    comes_up wineserver "$WINEPREFIX/wineserver"
    # The first program in a new prefix sets it up (and waits for that): an
    # explicit "wineboot -i" on top starts a second services.exe, and the two
    # then answer service calls from two different service databases.
    # A crashing test must fail, not wait for someone to close a dialog.
    status=0
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
    # Windows 2000's colours, and in the session's own copy too: the first
    # program (above) copied the prefix's scheme there for all after it.
    "$wine_loader" reg import "$(dos_path "$here/windows2000-colours.reg")" \
        >"$session/wine.log" 2>&1 </dev/null || status=$?
    [ $status = 0 ] || failed "$wine_loader ($WINEARCH) exited with status $status:" "$session/wine.log"
    ;;
stop)
    stop_session
    ;;
*)
    usage
    ;;
esac
