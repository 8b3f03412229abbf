#!/bin/sh
# lint-scripts.sh ROOT: every shell script the repository tracks, found when
# the test runs (a new one is covered from the day it is added): the .sh
# files and those whose first line runs sh or bash. Each must be clean
# under shellcheck at warning level; .shellcheckrc says where the sourced
# helpers are.
set -u
cd "$1" || exit 2
# shellcheck source=../support/assert.sh
. tests/support/assert.sh
files=$(git ls-files) || stop "not a git work tree: $1"
scripts=$(printf '%s\n' "$files" | while IFS= read -r f; do
    case $f in
    *.sh) ;;
    *) head -n 1 "$f" 2>/dev/null | grep -Eq '^#!.*[/ ](ba)?sh( |$)' || continue ;;
    esac
    printf '%s\n' "$f"
done)
while IFS= read -r f; do
    case=$f
    if said=$(shellcheck -S warning "$f" 2>&1); then pass; else fail "shellcheck warns:"; printf '%s\n' "$said"; fi
done <<EOF
$scripts
EOF
finish
