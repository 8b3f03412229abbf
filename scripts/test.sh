#!/bin/sh
# scripts/test.sh [CTEST ARGUMENTS...]
#
# Installs what is missing, builds Sentavio.exe (i686) and the x86_64 test
# build of the same sources, and runs the Wine suite on every architecture
# this host can run: x86_64 everywhere, i686 where the kernel runs 32-bit
# programs. The checks of the shipped program that need no Wine (its
# Windows 2000 imports, its bytes, the fuzzers) run on every host.
# SENTAVIO_ARCH=i686 or x86_64 asks for one architecture's Wine suite alone.
# A filter that selects no test in any suite fails. An interrupt ends the
# command at once and stops the suite's Wine session.
set -eu
sentavio_root=$(cd "$(dirname "$0")/.." && pwd)
cd "$sentavio_root"
# shellcheck source=common.sh
. scripts/common.sh
host_check_arch_request

status=0
ran=
summary=
say() { summary="$summary$1
"; }
finish() {
    # CTest ended before its fixtures' cleanup; on_exit stops the session.
    [ -z "$session_dir" ] || say "$what: interrupted; no further suite ran"
    if [ -n "$summary" ]; then
        echo "=== Summary"
        printf '%s' "$summary"
    fi
}
on_exit finish

scripts/install-deps.sh

want=${SENTAVIO_ARCH:-}
cmake --preset release
cmake --build --preset release -j2
if [ "$want" != i686 ]; then
    cmake --preset x86_64
    cmake --build --preset x86_64 -j2
fi

# run_suite ARCH DESCRIPTION CTEST_ARGUMENTS...: the suite of that
# architecture's build tree, with its preset.
run_suite() {
    use_arch "$1"
    what=$2
    shift 2
    echo "=== $what"
    sweep_file=$tree/tests/faults/fault-sweep-summary.txt
    rm -f "$sweep_file"
    selected=$(ctest -N --preset $preset "$@" | sed -n 's/^Total Tests: //p')
    # A filter may select tests of one suite only (Wine tests, say, where
    # the i686 suite runs none): it fails only when no suite has any.
    if [ "$selected" = 0 ]; then
        say "$what: no test matches: $*"
        return
    fi
    ran=yes
    # The session the suite's fixture starts there, as CMake named it.
    session_dir=$(sed -n 's/^SENTAVIO_SESSION:INTERNAL=//p' "$tree/CMakeCache.txt")
    if interruptible ctest --preset $preset "$@"; then
        say "$what: passed ($selected tests)"
    else
        say "$what: FAILED"
        status=1
    fi
    session_dir=
    # What the fault sweep counted, which CTest shows only on failure.
    sweep=$(cat "$sweep_file" 2>/dev/null || true)
    [ -z "$sweep" ] || say "  $sweep"
}

host_choose_arch
if [ $arch = i686 ]; then
    run_suite i686 "i686 suite (Sentavio.exe on 32-bit Wine, and its checks without Wine)" "$@"
else
    run_suite i686 "i686 checks of the shipped Sentavio.exe without Wine (imports, bytes, fuzzers)" -LE wine "$@"
    say "i686 Wine suite: not run: $why"
fi
if [ "$want" != i686 ]; then
    run_suite x86_64 "x86_64 suite (test build of the same sources on 64-bit Wine)" "$@"
else
    say "x86_64 suite: not run: SENTAVIO_ARCH=i686 asks for the i686 suite alone"
fi
if [ -z "$ran" ]; then
    say "FAILED: no test ran (no test matches: $*)"
    status=1
fi
exit $status
