#!/bin/sh
# scripts/machine.sh [COMMAND [ARGUMENTS...]]
#
# Runs the simulated machine's tool, sentavio-machine.exe, under Wine on the
# machine the main job (scripts/run.sh) runs Sentavio.exe on: the Wine
# prefix in BUILD/run-session, which stays after a run until the next run
# starts a fresh one. "report" prints the machine's state; without a
# command the tool lists its commands. Where no run has made that machine
# yet, this makes a fresh one. SENTAVIO_SESSION names another session's
# machine instead (the test suite's is BUILD/wine-session).
#
# It builds the tool first where it is missing or out of date (the build's
# output only when it fails), for the architecture the other scripts
# choose; SENTAVIO_ARCH=i686 or x86_64 asks for one.
set -eu
sentavio_root=$(cd "$(dirname "$0")/.." && pwd)
cd "$sentavio_root"
. scripts/common.sh

host_choose_arch
mkdir -p $tree
log=$tree/machine-build.log
if ! { [ -f $tree/CMakeCache.txt ] || cmake --preset $preset; } >"$log" 2>&1 ||
    ! cmake --build --preset $preset -j2 --target sentavio-machine >>"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "machine.sh: building sentavio-machine.exe failed (all of it in $log)" >&2
    exit 1
fi
machine_exe=$tree/testbed/sentavio-machine.exe

session=${SENTAVIO_SESSION:-$PWD/$tree/run-session}
if [ -d "$session/prefix" ]; then
    SENTAVIO_SESSION=$session
    export SENTAVIO_SESSION
else
    on_exit
    session_start $tree "$session"
fi
status=0
machine "$@" || status=$?
exit $status
