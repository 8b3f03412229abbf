#!/bin/sh
# package-test.sh MSI NAME MAKER VERSION: reads the built installer package
# back with msitools and checks what an install under Wine cannot show: the
# schema it asks for, the conditions and upgrade rules as written, that the
# Run value sits alone in a component keyed by itself, and that nothing in
# it is a custom action.
set -u
msi=$1
name=$2
maker=$3
version=$4
failures=0
checks=0
fail() { failures=$((failures + 1)); echo "FAIL: $*"; }

# The rows of a table, one a line, tab-separated, without the header lines.
rows() { msiinfo export "$msi" "$1" | tr -d '\r' | tail -n +4; }

[ -f "$msi" ] || { echo "FAIL: no package at $msi"; exit 1; }

# Summary information: Windows Installer 2.0 (200), a 32-bit package.
for want in 'Version: 200 ' 'Template: Intel;1033'; do
    checks=$((checks + 1))
    msiinfo suminfo "$msi" | grep -qF "$want" || fail "summary lacks \"$want\""
done

# One row of the table must match each condition (awk, fields tab-separated;
# name, maker, version, run and quote are set).
while IFS='|' read -r what table condition; do
    checks=$((checks + 1))
    n=$(rows "$table" | awk -F '\t' -v name="$name" -v maker="$maker" -v version="$version" \
        -v run='SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run' -v quote='"' \
        "$condition { n++ } END { print n + 0 }")
    [ "$n" = 1 ] || fail "$what: $n rows of $table match, expected 1"
done <<'TABLE'
per machine, for every user|Property|$1 == "ALLUSERS" && $2 == "1"
product name|Property|$1 == "ProductName" && $2 == name
maker, blank and all|Property|$1 == "Manufacturer" && $2 == maker
package version|Property|$1 == "ProductVersion" && $2 == version
folder Sentavio in Program Files|Directory|$1 == "INSTALLDIR" && $2 == "ProgramFilesFolder" && $3 == "Sentavio"
the program, in that folder|File|$3 == "Sentavio.exe"
Run value under HKLM, quoted full path|Registry|$2 == 2 && $3 == run && $4 == "Sentavio" && $5 == quote "[#" "SentavioExe]" quote
refused before Windows 2000, with a message|LaunchCondition|$1 == "Installed OR VersionNT >= 500" && $2 ~ /Windows 2000/
an older one found and replaced|Upgrade|$2 == "" && $3 == version && $5 == 1 && $7 == "WIX_UPGRADE_DETECTED"
a newer one found|Upgrade|$2 == version && $3 == "" && $5 == 2 && $7 == "WIX_DOWNGRADE_DETECTED"
a newer one refuses the install|LaunchCondition|$1 == "NOT WIX_DOWNGRADE_DETECTED" && $2 ~ /newer version/
the older product removed first|InstallExecuteSequence|$1 == "RemoveExistingProducts" && $2 == ""
TABLE

# The Run value's component: key path that value (attribute 4: the key path
# is a Registry row), and no file of its own, so a missing value never makes
# Windows Installer repair the program's files.
checks=$((checks + 1))
reg=$(rows Registry | awk -F '\t' '$4 == "Sentavio" { print $1 "\t" $6 }')
reg_id=$(printf '%s' "$reg" | cut -f 1)
component=$(printf '%s' "$reg" | cut -f 2)
rows Component | awk -F '\t' -v c="$component" -v k="$reg_id" \
    '$1 == c && int($4 / 4) % 2 == 1 && $6 == k { found = 1 } END { exit !found }' ||
    fail "the Run value's component ($component) is not keyed by the value ($reg_id)"
checks=$((checks + 1))
[ -n "$component" ] && rows File | awk -F '\t' -v c="$component" '$2 == c { found = 1 } END { exit found }' ||
    fail "the Run value's component ($component) holds a file"

# No custom action, and no program stored to run one.
for table in CustomAction Binary; do
    checks=$((checks + 1))
    n=$(rows $table | grep -c .)
    [ "$n" = 0 ] || fail "$n rows in $table"
done

echo "$((checks - failures)) of $checks checks passed"
[ $failures = 0 ]
