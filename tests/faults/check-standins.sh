#!/bin/sh
# check-standins.sh PRODUCT_EXE TABLE_HEADER
# Fails when the product imports a function the fault build's table
# (FaultCalls.h) does not list: its calls would escape the sweep.
set -eu
exe=$1 table=$2
. "$(dirname "$0")/../support/assert.sh"
imports=$("$(dirname "$0")/../support/pe-facts.py" imports "$exe" | sed 's/.*!//' | sort -u)
[ -n "$imports" ] || stop "no imports read from $exe"
listed=$(sed -n 's/^ *[XY](\([A-Za-z0-9]*\), \([A-Za-z0-9_]*\),.*/\2/p' "$table" | sort -u)
echo "$(printf '%s\n' "$imports" | wc -l) imports of $(basename "$exe"), $(printf '%s\n' "$listed" | wc -l) functions listed"
for name in $(printf '%s\n' "$imports" | grep -vxF "$listed" || true); do
    fail "$name is imported but not in $(basename "$table"): add a row with its documented failures"
done
finish
