#!/bin/sh
# check-win2000.sh EXE DIR [LATE_IMPORTS_SOURCE]
# Fails unless EXE could load on Windows 2000: it imports only system DLLs,
# only functions those DLLs have there (DIR/win2000-system.txt and
# DIR/msvcrt-win2000.txt), and its header asks for no system above 5.0.
# The user32 functions the program binds late, listed as X(Name, bytes) in
# LATE_IMPORTS_SOURCE, must be on the list too.
set -eu
exe=$1 dir=$2 late=${3:-}
support=$(dirname "$0")/../support
. "$(dirname "$0")/../support/assert.sh"

case=header
needs=$("$support/pe-facts.py" needs "$exe") || stop "cannot read the header of $exe"
for need in $(echo "$needs" | tr ' ' =); do  # os=5.0 subsystem=5.0
    case ${need#*=} in [0-4].* | 5.0) ;; *) fail "the header asks for ${need%=*} ${need#*=}, above 5.0" ;; esac
done

case=imports
imports=$("$support/pe-facts.py" imports "$exe") && [ -n "$imports" ] || stop "no imports found in $exe"
if [ -n "$late" ]; then
    imports="$imports
$(sed -n 's/^ *X(\([A-Za-z0-9_]*\), *[0-9]*).*/USER32.dll!\1/p' "$late")"
fi

for entry in $imports; do
    dll=${entry%%!*}
    name=${entry#*!}
    case $(echo "$dll" | tr 'A-Z' 'a-z') in
    msvcrt.dll)
        grep -qx "$name" "$dir/msvcrt-win2000.txt" || fail "msvcrt.dll!$name is not in Windows 2000's C runtime" ;;
    kernel32.dll|advapi32.dll|user32.dll|gdi32.dll)
        grep -qix "$entry" "$dir/win2000-system.txt" || fail "$entry is not on the Windows 2000 list" ;;
    *)
        fail "$dll is not a Windows system DLL" ;;
    esac
done

[ "$failures" -eq 0 ] && echo "OK: $(printf '%s\n' "$imports" | wc -l) imports, all present in Windows 2000; header asks for 5.0"
finish
