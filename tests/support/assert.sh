# Sourced by the shell tests: one way to count, report and end.
#   case=NAME        names the row that the next failures belong to
#   fail MESSAGE     counts a failure and goes on
#   expect WHAT ACTUAL EXPECTED
#                    fails unless ACTUAL is EXPECTED
#   stop MESSAGE     fails and ends at once: nothing after it can be judged
#   finish           prints the count; status 1 when anything failed
# shellcheck shell=sh
failures=0
case=${case:-}
fail() {
    failures=$((failures + 1))
    echo "FAIL${case:+ [$case]} $*"
}
expect() {
    [ "$2" = "$3" ] || fail "$1: got \"$2\", expected \"$3\""
}
finish() {
    echo "$failures failures"
    exit $((failures > 0))
}
stop() {
    fail "$@"
    finish
}
