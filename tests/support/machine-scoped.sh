#!/bin/sh
# machine-scoped.sh TOOL COMMAND [ARGS...]
# Runs COMMAND under the machine scope, as the C++ tests run theirs: what it
# may change on the simulated machine is saved first by TOOL
# (sentavio-machine.exe) and put back afterwards, whether it passed or not.
# Fails when COMMAND fails or the machine cannot be put back.
set -u
[ $# -ge 2 ] || { echo "usage: $0 TOOL COMMAND [ARGS...]" >&2; exit 2; }
machine_exe=$1
shift
sentavio_root=$(cd "$(dirname "$0")/../.." && pwd)
. "$(dirname "$0")/../../scripts/common.sh"
# Relative: the tool is a Windows program that Wine starts in this directory.
saved=machine-scope.txt
machine scope save "$saved" || exit 1
status=0
"$@" || status=$?
machine scope restore "$saved" || status=1
exit $status
