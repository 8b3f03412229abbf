#!/bin/sh
# wine-run.sh [--held-output] PROGRAM [ARGUMENTS...]
#   Runs a Windows program under Wine in the session that wine-session.sh
#   started in SENTAVIO_SESSION, with the loader of that session's
#   architecture. CTest gives every Wine test the run's session there.
#
#   --held-output, as CTest runs test programs: the output goes through a
#   file, shown once the program has ended. Every Wine process hands its
#   output on to the processes it starts, and a program that restarts
#   Windows leaves the restarted session's services holding it, so a reader
#   of a pipe would wait for the session's end instead of the program's. A
#   signal to this script then ends the program.
session=${SENTAVIO_SESSION:?names no Wine session: start one with cmake/wine-session.sh start}
# shellcheck source=wine-env.sh
. "$(dirname "$0")/wine-env.sh"
if [ "${1:-}" != --held-output ]; then
    exec "$wine_loader" "$@"
fi
shift
output=$(mktemp "${TMPDIR:-/tmp}/sentavio-output.XXXXXX") || exit 1
loader=
trap 'cat "$output"; rm -f "$output"' EXIT
trap '[ -z "$loader" ] || kill "$loader" 2>/dev/null; exit 130' INT
trap '[ -z "$loader" ] || kill "$loader" 2>/dev/null; exit 143' TERM
# In the background, so that a signal reaches this script at once; with
# this script's input, which a background job would otherwise not get.
exec 3<&0
"$wine_loader" "$@" <&3 3<&- >"$output" 2>&1 &
loader=$!
wait "$loader"
