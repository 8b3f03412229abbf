#!/bin/sh
# fuzz.sh SOURCE_DIR WORK_DIR [SECONDS]
# Builds the byte-level functions natively with clang, libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer, and runs each fuzzer: a
# fixed number of runs from a fixed seed (the test), or SECONDS each (the
# long run). A failing input is kept in WORK_DIR as crash-*.
set -eu
src=$1 work=$2 seconds=${3:-}

mkdir -p "$work"
# The fuzzers run inside it, and name their logs and findings by it.
work=$(cd "$work" && pwd)
flags="-std=c++20 -g -O1 -Wall -Wextra -Werror -fsanitize=fuzzer,address,undefined
       -fno-sanitize-recover=all -I$src/tests/fuzz/shim -I$src"

# fuzzer name, the product file it exercises, and the input sizes of its
# seeds (zeros): the sizes where the behaviour changes.
set -- PolicyRecordFuzz system/PolicyRecord.cpp "212" \
       HeuristicsFuzz system/Heuristics.cpp "4 10 23 24 25 68 4100"
while [ $# -gt 0 ]; do
    name=$1 product=$2 seeds=$3
    shift 3
    clang++ $flags -o "$work/$name" "$src/tests/fuzz/$name.cpp" "$src/$product"
    mkdir -p "$work/$name-corpus"
    for n in $seeds; do
        head -c "$n" /dev/zero >"$work/$name-corpus/seed-$n"
    done
    limit="-runs=1000000 -seed=1"
    [ -z "$seconds" ] || limit="-max_total_time=$seconds"
    (cd "$work" && ./"$name" $limit -max_len=4200 -artifact_prefix="$work/$name-" \
        "$work/$name-corpus" 2>"$work/$name.log") || {
        tail -30 "$work/$name.log" >&2
        echo "FAIL: $name" >&2
        exit 1
    }
    echo "$name: $(grep -o 'Done [0-9]* runs in [0-9]* second(s)' "$work/$name.log")"
done
