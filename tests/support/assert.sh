# Sourced by the shell tests: one way to count, report and end.
#   case=NAME        names the row that the next failures belong to
#   pass             counts a check that held
#   fail MESSAGE     counts a check that failed, and goes on
#   expect WHAT ACTUAL EXPECTED
#                    passes when ACTUAL is EXPECTED, else fails
#   stop MESSAGE     fails and ends at once: nothing after it can be judged
#   finish           prints the count; status 1 when anything failed
# shellcheck shell=sh
failures=0
checks=0
case=${case:-}
pass() { checks=$((checks + 1)); }
fail() {
    pass
    failures=$((failures + 1))
    echo "FAIL${case:+ [$case]} $*"
}
expect() {
    if [ "$2" = "$3" ]; then pass; else fail "$1: got \"$2\", expected \"$3\""; fi
}
finish() {
    [ "$checks" -gt "$failures" ] && echo "$((checks - failures)) of $checks checks passed" || echo "$failures failures"
    exit $((failures > 0))
}
stop() {
    fail "$@"
    finish
}
