#!/bin/sh
# Start-up cost of Sentavio.exe under one warm Wine session, against a
# Win32 program that only returns, built by the same toolchain.
#
#   scripts/benchmark.sh [RUNS]        (default 41 runs per program and case)
#
# For each case hyperfine runs the two programs 3 times to warm up, then
# RUNS times each (its results: BUILD/benchmark/<case>.json), and the
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

# measure CASE DESCRIPTION: hyperfine times the two programs on the machine
# as it is; its medians and their ratio.
measure() {
    hyperfine --shell=none --warmup 3 --runs "$runs" --export-json "$bench/$1.json" \
        -n empty "'$PWD/cmake/wine-run.sh' '$empty'" \
        -n Sentavio.exe "'$PWD/cmake/wine-run.sh' '$sentavio'" >"$bench/$1.txt" ||
        { cat "$bench/$1.txt"; echo "hyperfine failed on $1" >&2; exit 1; }
    /usr/bin/python3 -c 'import json, sys
e, s = (r["median"] * 1000 for r in json.load(open(sys.argv[1]))["results"])
print("%s %-34s empty %7.1f ms   Sentavio.exe %7.1f ms   ratio %.2f  (%s runs each)"
      % (sys.argv[2], sys.argv[3], e, s, s / e, sys.argv[4]))' "$bench/$1.json" "$arch" "$2" "$runs"
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
measure not-qualifying "not qualifying (Windows 7)"
machine version win2k >/dev/null
machine cmbatt maker >/dev/null
# The optimum as the machine tool names it. Anywhere else Sentavio.exe
# would show its prompt and wait for a person: it must end by itself.
optimum=$(machine optimum | tr -d '\r')
# shellcheck disable=SC2086 # the five values, one argument each
machine power-prepare $optimum >/dev/null
timeout 60 cmake/wine-run.sh "$sentavio" >/dev/null 2>&1 || [ $? != 124 ] ||
    { echo "Sentavio.exe did not end by itself at the optimum ($optimum) within 60 s" >&2; exit 1; }
measure optimal "qualifying, settings optimal"

echo "$arch Sentavio.exe stripped size: $(stat -c %s "$sentavio") bytes (limit 65536)"
echo "$arch peak memory, qualifying and optimal: Sentavio.exe $(peak_kib "$sentavio") KiB, empty $(peak_kib "$empty") KiB"
