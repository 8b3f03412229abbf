#!/bin/sh
# machine-report.sh save|compare FILE RUNNER TOOL
# The simulated machine's report (TOOL report, run by RUNNER) before the
# Wine tests, saved to FILE, and after them, compared with it: a test that
# leaves the machine changed, in whatever order the tests ran, shows here.
set -eu
usage() {
    echo "usage: $0 save|compare FILE RUNNER TOOL" >&2
    exit 2
}
[ $# = 4 ] || usage
action=$1 file=$2 runner=$3 tool=$4
report() {
    "$runner" "$tool" report >"$1.raw" || { echo "sentavio-machine report failed" >&2; exit 1; }
    tr -d '\r' <"$1.raw" >"$1"
}
case $action in
save) report "$file" ;;
compare)
    report "$file.after"
    diff -u "$file" "$file.after" || { echo "the Wine tests left the machine changed (- before, + after)"; exit 1; }
    echo "the machine as the Wine tests found it and left it:"
    cat "$file"
    ;;
*) usage ;;
esac
