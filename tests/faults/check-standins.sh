#!/bin/sh
# check-standins.sh OBJDUMP PRODUCT_EXE TABLE_HEADER
# Fails when the product imports a function the fault build's table
# (FaultCalls.h) does not list: its calls would escape the sweep.
set -eu
objdump=$1
exe=$2
table=$3
imports=$("$objdump" -p "$exe" |
    awk '/DLL Name:/ { on = 1; next } on && NF == 3 && $1 ~ /^[0-9a-f]+$/ { print $3 } /^$/ { on = 0 }' |
    sort -u)
listed=$(sed -n 's/^ *[XY](\([A-Za-z0-9]*\), \([A-Za-z0-9_]*\),.*/\2/p' "$table" | sort -u)
if [ -z "$imports" ]; then
    echo "no imports read from $exe" >&2
    exit 1
fi
missing=$(printf '%s\n' "$imports" | grep -vxF "$listed" || true)
echo "$(printf '%s\n' "$imports" | wc -l) imports of $(basename "$exe"), $(printf '%s\n' "$listed" | wc -l) functions listed"
if [ -n "$missing" ]; then
    echo "imported but not in $(basename "$table") (add a row with its documented failures):" >&2
    printf '  %s\n' $missing >&2
    exit 1
fi
