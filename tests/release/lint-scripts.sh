#!/bin/sh
# lint-scripts.sh ROOT: every shell script git tracks, found when the test
# runs (the .sh files and those whose first line runs sh or bash), clean
# under shellcheck at warning level; .shellcheckrc names the sourced helpers.
cd "$1" || exit 2
scripts=$(git ls-files | while IFS= read -r f; do
    case $f in *.sh) ;; *) head -n 1 "$f" | grep -Eq '^#!.*[/ ](ba)?sh( |$)' || continue ;; esac
    printf '%s\n' "$f"
done) && [ -n "$scripts" ] || { echo "FAIL: no scripts found in $1"; exit 1; }
printf '%s\n' "$scripts" | tr '\n' '\0' | xargs -0 shellcheck -S warning && echo "$(printf '%s\n' "$scripts" | wc -l) scripts clean"
