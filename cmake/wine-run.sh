#!/bin/sh
# Runs a Windows program under 32-bit Wine in the session that wine-session.sh
# started for SENTAVIO_SESSION (default: the build tree's own session).
session=${SENTAVIO_SESSION:-$(pwd)/wine-session}
export WINEPREFIX="$session/prefix"
export WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ -f "$session/display" ]; then
    DISPLAY=$(cat "$session/display")
    export DISPLAY
fi
exec wine "$@"
