#!/bin/sh
# check-win2000.sh OBJDUMP EXE DIR [LATE_IMPORTS_SOURCE]
# Fails unless EXE could load on Windows 2000: it imports only system DLLs,
# only functions those DLLs have there (DIR/win2000-system.txt and
# DIR/msvcrt-win2000.txt), and its header asks for no system above 5.0.
# The user32 functions the program binds late, listed as X(Name, bytes) in
# LATE_IMPORTS_SOURCE, must be on the list too.
set -eu
objdump=$1
exe=$2
dir=$3
late=${4:-}

headers=$("$objdump" -p "$exe")
status=0

for field in OSystemVersion SubsystemVersion; do
    major=$(printf '%s\n' "$headers" | awk -v f="Major$field" '$1 == f { print $2 }')
    minor=$(printf '%s\n' "$headers" | awk -v f="Minor$field" '$1 == f { print $2 }')
    if [ -z "$major" ] || [ "$major" -gt 5 ] || { [ "$major" -eq 5 ] && [ "$minor" -gt 0 ]; }; then
        echo "FAIL: the header asks for $field $major.$minor, above 5.0"
        status=1
    fi
done

imports=$(printf '%s\n' "$headers" | awk '
    /DLL Name:/ { dll = $3; next }
    dll != "" && /^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_?@]/ { print dll "!" $3 }')
[ -n "$imports" ] || { echo "FAIL: no imports found in $exe"; exit 1; }
if [ -n "$late" ]; then
    imports="$imports
$(sed -n 's/^ *X(\([A-Za-z0-9_]*\), *[0-9]*).*/USER32.dll!\1/p' "$late")"
fi

for entry in $imports; do
    dll=${entry%%!*}
    name=${entry#*!}
    case $(echo "$dll" | tr 'A-Z' 'a-z') in
    msvcrt.dll)
        grep -qx "$name" "$dir/msvcrt-win2000.txt" || { echo "FAIL: msvcrt.dll!$name is not in Windows 2000's C runtime"; status=1; } ;;
    kernel32.dll|advapi32.dll|user32.dll|gdi32.dll)
        grep -qix "$entry" "$dir/win2000-system.txt" || { echo "FAIL: $entry is not on the Windows 2000 list"; status=1; } ;;
    *)
        echo "FAIL: $dll is not a Windows system DLL"; status=1 ;;
    esac
done

count=$(printf '%s\n' "$imports" | wc -l)
[ $status -eq 0 ] && echo "OK: $count imports, all present in Windows 2000; header asks for 5.0"
exit $status
