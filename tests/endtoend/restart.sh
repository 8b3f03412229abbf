#!/bin/sh
# restart.sh BUILD_DIR SESSION_DIR: the agreed forced restart, end to end:
# the real Sentavio.exe on the simulated machine, the user answering Yes
# with the check box ticked and agreeing to restart. On Wine a forced
# restart ends every process of the session and starts it again, so no
# Windows program can watch it: this script reads the traces left in files.
# Proves: an application started before is gone; what the Run key names ran
# again; Sentavio's own value was gone by then; the settings were applied.
# Every wait is for an event, with a bound; none decides a result by its
# length. Its own Wine session (SESSION_DIR) keeps the shared one safe.
set -u
build=$1 session=$2
sentavio_root=$(cd "$(dirname "$0")/../.." && pwd)
. "$(dirname "$0")/../../scripts/common.sh"
. "$(dirname "$0")/../support/assert.sh"
run="$sentavio_root/cmake/wine-run.sh"
work="$session/work"
on_exit
session_start "$build" "$session" || stop "no Wine session"
mkdir -p "$work"
machine_exe=$build/testbed/sentavio-machine.exe

machine_qualify || stop "cannot prepare the machine"
optimum=$(machine optimum | tr -d '\r')
[ -n "$optimum" ] || stop "the machine tool names no optimum"
# What the Run key names runs again once the session starts again; the
# value of Sentavio's own would leave a different trace if it ever ran.
machine run-value SentavioTestMarker cmd /c echo restarted ">$(dos_path "$work/run-marker.txt")" >/dev/null ||
    stop "cannot set the marker value"
machine run-value Sentavio cmd /c echo started ">$(dos_path "$work/sentavio-marker.txt")" >/dev/null ||
    stop "cannot set the autostart value"
machine report >"$work/before.txt" 2>&1
grep -q 'autostart value: "cmd /c echo started' "$work/before.txt" || stop "the autostart value is not in place"

# An application that runs when the restart comes. Output goes to files:
# processes of the new session inherit the old one's handles, so a pipe
# would never end.
"$run" "$build/testbed/idle.exe" "$(dos_path "$work/idle-runs")" >/dev/null 2>&1 </dev/null &
idle=$!
within 60 test -e "$work/idle-runs" || stop "the application did not start within 60 s"

"$run" "$build/testbed/sentavio-user.exe" yes tick restart >"$work/user.txt" 2>&1 </dev/null &
user=$!

within 60 test -s "$work/run-marker.txt" ||
    stop "the Run key's value did not run again within 60 s: no restart"
echo "The user saw:"
cat "$work/user.txt"
within 30 ended "$user" || { kill "$user"; stop "the user's program still runs 30 s after the restart"; }
within 30 ended "$idle" ||
    { kill "$idle"; stop "the application started before the restart still runs 30 s after it"; }
grep -q '^prompt: ' "$work/user.txt" || fail "no prompt seen"
grep -q '^restart question: ' "$work/user.txt" || fail "no restart question seen"

# The settings were applied before the restart, and the session works on.
machine run-value SentavioTestMarker none >/dev/null || stop "the session does not work after the restart"
machine report >"$work/report.txt" 2>&1
echo "The machine after the restart:"
cat "$work/report.txt"
grep -q '^Heuristics flag (byte 6): 1 (set)' "$work/report.txt" || fail "Heuristics flag not set"
# The policy written is the optimum: the alarm lines as reported once the
# tool has put the optimum in place itself.
alarms() { tr -d '\r' <"$1" | grep -e '^critical alarm' -e '^low alarm'; }
machine power-prepare $optimum >/dev/null || fail "the machine tool cannot set the optimum"
machine report >"$work/optimum.txt" 2>&1
[ -n "$(alarms "$work/report.txt")" ] && [ "$(alarms "$work/report.txt")" = "$(alarms "$work/optimum.txt")" ] ||
    fail "policy not written"
# Sentavio.exe cannot act after the restart and its value was in place
# before, so it was removed before the restart and did not run again.
grep -q 'autostart value: absent' "$work/report.txt" || fail "autostart value not removed"
[ -e "$work/sentavio-marker.txt" ] && fail "Sentavio started again after the restart"
finish
