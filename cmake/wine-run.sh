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
#   With the output in hand, a run that never started is started again.
#   When Wine's loader cannot map the program it runs start.exe in its
#   place, which ends with status 1 and its own message when that start
#   fails too. On a busy machine Wine now and then fails a start so (as
#   CreateProcess fails with ERROR_INTERNAL_ERROR inside it): up to three
#   tries in all.
session=${SENTAVIO_SESSION:?names no Wine session: start one with cmake/wine-session.sh start}
# shellcheck source=wine-env.sh
. "$(dirname "$0")/wine-env.sh"
if [ "${1:-}" != --held-output ]; then
    exec "$wine_loader" "$@"
fi
shift
not_started='Application could not be started, or no application associated with the specified file.'
output=$(mktemp "${TMPDIR:-/tmp}/sentavio-output.XXXXXX") || exit 1
loader=
trap 'cat "$output"; rm -f "$output"' EXIT
trap '[ -z "$loader" ] || kill "$loader" 2>/dev/null; exit 130' INT
trap '[ -z "$loader" ] || kill "$loader" 2>/dev/null; exit 143' TERM
# In the background, so that a signal reaches this script at once; with
# this script's input, which a background job would otherwise not get.
exec 3<&0
attempt=1
while :; do
    "$wine_loader" "$@" <&3 3<&- >"$output" 2>&1 &
    loader=$!
    status=0
    wait "$loader" || status=$?
    loader=
    if [ $status != 1 ] || [ $attempt = 3 ] || [ "$(head -n 1 "$output" | tr -d '\r')" != "$not_started" ]; then
        exit $status
    fi
    echo "wine-run: $1 did not start (attempt $attempt); starting it again" >&2
    attempt=$((attempt + 1))
    sleep 1
done
