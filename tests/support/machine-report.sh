#!/bin/sh
# machine-report.sh save|compare FILE TOOL
# The simulated machine's report (TOOL, sentavio-machine.exe) before the
# Wine tests, saved to FILE, and after them, compared with it: a test that
# leaves the machine changed, in whatever order the tests ran, shows here.
set -eu
usage() { echo "usage: $0 save|compare FILE TOOL" >&2; exit 2; }
[ $# = 3 ] || usage
action=$1 file=$2 machine_exe=$3
sentavio_root=$(cd "$(dirname "$0")/../.." && pwd)
. "$(dirname "$0")/../../scripts/common.sh"
. "$(dirname "$0")/assert.sh"
report() {
    machine report >"$1.raw" || stop "sentavio-machine report failed"
    tr -d '\r' <"$1.raw" >"$1"
}
case $action in
save) report "$file" ;;
compare)
    report "$file.after"
    diff -u "$file" "$file.after" || stop "the Wine tests left the machine changed (- before, + after)"
    echo "the machine as the Wine tests found it and left it:"
    cat "$file"
    ;;
*) usage ;;
esac
