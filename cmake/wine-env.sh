# shellcheck shell=sh
# Sourced by the Wine scripts with $session set: the environment of the Wine
# session kept in $session, whose architecture (win32 or win64) its start
# wrote to $session/arch. The loader is named by its path: Debian's "wine"
# wrapper takes the 32-bit loader whenever it is installed, even on a host
# whose kernel cannot run it.
if [ ! -f "${session:?}/arch" ]; then
    echo "no Wine session in $session: start it with cmake/wine-session.sh start" >&2
    exit 1
fi
WINEARCH=$(cat "$session/arch")
case $WINEARCH in
win32)
    wine_loader=/usr/lib/wine/wine
    wine_server=/usr/lib/wine/wineserver
    ;;
win64)
    wine_loader=/usr/lib/wine/wine64
    wine_server=/usr/lib/wine/wineserver64
    ;;
*)
    echo "unknown Wine architecture '$WINEARCH' in $session/arch" >&2
    exit 1
    ;;
esac
# Wine refuses a prefix named by a relative path.
WINEPREFIX=$(realpath -ms "$session/prefix")
WINELOADER=$wine_loader
WINESERVER=$wine_server
WINEDEBUG=${WINEDEBUG:--all}
WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH WINEPREFIX WINELOADER WINESERVER WINEDEBUG WINEDLLOVERRIDES
if [ -f "$session/display" ]; then
    DISPLAY=$(cat "$session/display")
    export DISPLAY
fi
