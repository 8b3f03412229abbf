#!/bin/bash
# interrupt.sh ARCH: Ctrl-C on the main job while its prompt waits for a
# person: scripts/run.sh in a process group of its own, its prompt on the
# test session's display; once the prompt is up the group gets SIGINT, as
# from a terminal. Proves: the run ends within 10 s, says so, exits 130,
# and leaves no process of its session (all carry its prefix); records of
# an earlier run whose ids now name this test's own process spare it.
# bash, because only its subshell can give the run back the default SIGINT
# that a background job of sh starts without.
set -u
arch=$1
sentavio_root=$(cd "$(dirname "$0")/../.." && pwd)
. "$(dirname "$0")/../../scripts/common.sh"
. "$(dirname "$0")/../support/assert.sh"
SENTAVIO_ARCH=$arch host_choose_arch
# shellcheck disable=SC2154 # host_choose_arch sets tree
session=$sentavio_root/$tree/run-session
log=$(mktemp)
display=$(cat "$SENTAVIO_SESSION/display") || stop "no display in the test session"

rm -rf "$session"
mkdir -p "$session"
: >"$session/session.lock"
sleep 600 &
stranger=$!
# However this test ends, the run ends with it.
trap 'rm -f "$log"; kill "$stranger" 2>/dev/null; [ -z "${run:-}" ] || kill -TERM -"$run" 2>/dev/null' EXIT
trap 'exit 143' INT TERM
# The X server's record even names the stranger's start time.
echo "$stranger $(proc_stat $stranger 20)" >"$session/xvfb.pid"
echo "$stranger" >"$session/wineserver.pid"
( trap - INT; exec setsid -w env DISPLAY="$display" SENTAVIO_ARCH="$arch" "$sentavio_root/scripts/run.sh" >"$log" 2>&1 ) &
run=$!
prompt_up() { cat "$session/work/user.txt" 2>/dev/null | tr -d '\r' | grep -q '^prompt: '; }
within 180 prompt_up || { cat "$log"; stop "no prompt within 180 s"; }
kill -INT -"$run"
within 10 ended "$run" || { cat "$log"; stop "the run still goes 10 s after the interrupt"; }
wait "$run"
status=$?
run=
echo "What the run said:"
cat "$log"
expect "the run's status" $status 130
grep -q 'interrupted' "$log" || fail "the run did not say it was interrupted"
grep -q 'did not end as expected\|failed while' "$log" && fail "the run took the interrupt for a failure"
prefix_gone() { ! grep -lszFx "WINEPREFIX=$session/prefix" /proc/[0-9]*/environ; }
within 10 prefix_gone || fail "processes of the run's session still run: $(prefix_gone)"
ended "$stranger" && fail "the run's session ended process $stranger, which it did not start"
finish
