#!/bin/sh
# Installs what is missing, builds Sentavio.exe and runs it under Wine in a
# session of its own (build/run-session), on a simulated machine that
# qualifies: Windows 2000 with the maker's driver behind "cmbatt".
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j2 --target Sentavio sentavio-machine

session=$PWD/build/run-session
cmake/wine-session.sh start "$session"
trap 'cmake/wine-session.sh stop "$session"' EXIT
export SENTAVIO_SESSION=$session
machine() { cmake/wine-run.sh build/testbed/sentavio-machine.exe "$@"; }
machine version win2k
machine cmbatt maker
# Our stand-in power library, hibernation allowed, and the critical alarm
# at 5 % with no action: the settings differ from the optimum.
machine power-prepare 1 1 5 0 0
machine report
status=0
cmake/wine-run.sh build/app/Sentavio.exe || status=$?
echo "Sentavio.exe exited with status $status"
