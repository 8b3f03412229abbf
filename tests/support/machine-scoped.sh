#!/bin/sh
# machine-scoped.sh RUNNER TOOL COMMAND [ARGS...]
# Runs COMMAND under the machine scope, as the C++ tests run theirs: what
# it may change on the simulated machine is saved first (TOOL scope save,
# run by RUNNER) and put back afterwards, whether it passed or not. Fails
# when COMMAND fails or the machine cannot be put back.
set -u
[ $# -ge 3 ] || { echo "usage: $0 RUNNER TOOL COMMAND [ARGS...]" >&2; exit 2; }
runner=$1 tool=$2
shift 2
# Relative: the tool is a Windows program, and Wine starts it in this
# directory.
saved=machine-scope.txt
"$runner" "$tool" scope save "$saved" || exit 1
status=0
"$@" || status=$?
"$runner" "$tool" scope restore "$saved" || status=1
exit $status
