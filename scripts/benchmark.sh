#!/bin/bash
# Start-up cost of Sentavio.exe under one warm Wine session, against a
# Win32 program that only returns, built by the same toolchain.
#
#   scripts/benchmark.sh [RUNS]        (default 41 paired runs per case)
#
# For each case the two programs run in turns, RUNS times each, and the
# medians of their wall-clock times and the ratio are printed; then the
# stripped size of Sentavio.exe and the peak memory (largest resident set
# of the Wine process, from GNU time) of both. BUILD_DIR picks the build tree
# (default: the preset's).
#
# It measures the shipped i686 Sentavio.exe where this host can run 32-bit
# programs, and the x86_64 test build of the same sources elsewhere; every
# figure it prints names the architecture. SENTAVIO_ARCH=i686 or x86_64
# asks for one of them.
set -eu
sentavio_root=$(cd "$(dirname "$0")/.." && pwd)
cd "$sentavio_root"
# shellcheck source=common.sh
. scripts/common.sh
runs=${1:-41}

host_choose_arch
toolchain=$arch-mingw32 cc=$arch-w64-mingw32-gcc-win32
if [ $arch = i686 ]; then
    echo "Measures Sentavio.exe, the shipped i686 program, on 32-bit Wine."
else
    echo "Measures the x86_64 test build of Sentavio.exe's sources on 64-bit Wine, not the shipped program: $why."
fi

scripts/install-deps.sh
if [ -z "${BUILD_DIR:-}" ]; then
    build=$PWD/$tree
    cmake --preset $preset >/dev/null
else
    build=$(realpath -m "$BUILD_DIR")
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=MinSizeRel \
        -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchain-$toolchain.cmake" >/dev/null
fi
cmake --build "$build" -j2 --target Sentavio sentavio-machine >/dev/null

bench=$build/benchmark
mkdir -p "$bench"
cat >"$bench/empty.c" <<'EOF'
#include <windows.h>

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow)
{
    (void)hInstance;
    (void)hPrevInstance;
    (void)lpCmdLine;
    (void)nCmdShow;
    return 0;
}
EOF
$cc -Os -s -mwindows -static -Wl,--no-insert-timestamp \
    -o "$bench/empty.exe" "$bench/empty.c"
sentavio=$build/app/Sentavio.exe
empty=$bench/empty.exe

on_exit
session_start "$build" "$bench/session"
machine_exe=$build/testbed/sentavio-machine.exe

# Wall-clock milliseconds of one run.
elapsed() {
    local start=$EPOCHREALTIME
    cmake/wine-run.sh "$1" >/dev/null 2>&1 || true
    local end=$EPOCHREALTIME
    awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f\n", (e - s) * 1000 }'
}

median() { sort -n "$1" | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

measure() {
    local name=$1
    : >"$bench/empty.ms"
    : >"$bench/sentavio.ms"
    for _ in 1 2 3; do
        elapsed "$empty" >/dev/null
        elapsed "$sentavio" >/dev/null
    done
    for _ in $(seq "$runs"); do
        elapsed "$empty" >>"$bench/empty.ms"
        elapsed "$sentavio" >>"$bench/sentavio.ms"
    done
    local e s
    e=$(median "$bench/empty.ms")
    s=$(median "$bench/sentavio.ms")
    awk -v n="$name" -v e="$e" -v s="$s" -v r="$runs" \
        'BEGIN { printf "'$arch' %-34s empty %7.1f ms   Sentavio.exe %7.1f ms   ratio %.2f  (%d runs each)\n", n, e, s, s / e, r }'
}

peak_kib() {
    if [ -x /usr/bin/time ]; then
        /usr/bin/time -f %M cmake/wine-run.sh "$1" 2>&1 >/dev/null | tail -1
    else
        echo "? (GNU time is not installed)"
    fi
}

echo "$arch programs, Wine $(cmake/wine-run.sh --version), $(nproc) cores, $(date -u +%Y-%m-%d)"

machine version win7 >/dev/null
measure "not qualifying (Windows 7)"
machine version win2k >/dev/null
machine cmbatt maker >/dev/null
machine power-prepare 1 0 100 3 0 >/dev/null
measure "qualifying, settings optimal"

echo "$arch Sentavio.exe stripped size: $(stat -c %s "$sentavio") bytes (limit 65536)"
echo "$arch peak memory, qualifying and optimal: Sentavio.exe $(peak_kib "$sentavio") KiB, empty $(peak_kib "$empty") KiB"
