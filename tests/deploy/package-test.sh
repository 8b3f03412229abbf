#!/bin/sh
# package-test.sh MSI NAME MAKER VERSION: the built installer package read
# back with msitools, for what an install under Wine cannot show: schema,
# conditions and upgrade rules as written, the Run value alone in a
# component keyed by itself and written only where the user still wants it,
# the program's file version as its version resource says, Add or Remove
# Programs, no custom action. Every row MakePackage.cmake edits after wixl
# is read back here.
set -u
msi=$1 name=$2 maker=$3 version=$4
. "$(dirname "$0")/../support/assert.sh"

[ -f "$msi" ] || stop "no package at $msi"
case $msi in /*) ;; *) msi=$PWD/$msi ;; esac
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT

# The rows of a table, one a line, tab-separated, without the header lines;
# in the scratch folder, as msiinfo writes a table's binary data to files.
rows() { (cd "$work" && msiinfo export "$msi" "$1") | tr -d '\r' | tail -n +4; }

# The program as the package holds it, and what its version resource says:
# the file version and the language of its first translation, in decimal.
msiextract -C "$work" "$msi" >/dev/null || stop "cannot extract $msi"
facts=$("$(dirname "$0")/../support/pe-facts.py" version "$work/Program Files/Sentavio/Sentavio.exe") ||
    stop "no version resource in the packaged program"
exe_version=${facts% *} exe_language=${facts#* }

# Summary information: Windows Installer 2.0 (200), a 32-bit package.
for want in 'Version: 200 ' 'Template: Intel;1033'; do
    msiinfo suminfo "$msi" | grep -qF "$want" && pass || fail "summary lacks \"$want\""
done

# The Run value's component, from its Registry row: keyed by that value
# (attribute 4) and without a file, so a missing value never makes Windows
# Installer repair the program's files. Edited: transitive (64), so a
# repair weighs its condition again; Windows Installer does so only for a
# transitive component and would write a deleted value back (Wine weighs
# every condition at every run, so only this table shows the bit).
reg=$(rows Registry | awk -F '\t' '$4 == "Sentavio" { print $1 "\t" $6 }')
reg_id=$(printf '%s' "$reg" | cut -f 1)
component=$(printf '%s' "$reg" | cut -f 2)
expect "files in the Run value's component ($component)" "$(rows File | awk -F '\t' -v c="$component" '$2 == c' | grep -c .)" 0

# The package names the maker as the version resource (MAKER) does, less
# the blank at its end.
publisher=$(printf '%s' "$maker" | sed 's/[[:space:]]*$//')
# One row of the table must match each condition (awk, fields tab-separated).
while IFS='|' read -r what table condition; do
    n=$(rows "$table" | awk -F '\t' -v name="$name" -v publisher="$publisher" -v version="$version" \
        -v run='SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run' -v quote='"' \
        -v exe_version="$exe_version" -v exe_language="$exe_language" \
        -v component="$component" -v reg_id="$reg_id" "$condition { n++ } END { print n + 0 }")
    expect "$what: rows of $table that match" "$n" 1
done <<'TABLE'
per machine, for every user|Property|$1 == "ALLUSERS" && $2 == "1"
product name|Property|$1 == "ProductName" && $2 == name
maker, without the version resource's trailing blank|Property|$1 == "Manufacturer" && $2 == publisher && $2 != ""
package version|Property|$1 == "ProductVersion" && $2 == version
folder Sentavio in Program Files|Directory|$1 == "INSTALLDIR" && $2 == "ProgramFilesFolder" && $3 == "Sentavio"
the program, in that folder|File|$3 == "Sentavio.exe"
the program's version and language, as the exe says (edited)|File|$3 == "Sentavio.exe" && $5 == exe_version && $5 ~ /^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$/ && $6 == exe_language && $6 == "1033"
Run value under HKLM, quoted full path|Registry|$2 == 2 && $3 == run && $4 == "Sentavio" && $5 == quote "[#" "SentavioExe]" quote
refused before Windows 2000 and from Vista on, with a message|LaunchCondition|$1 == "Installed OR (VersionNT >= 500 AND VersionNT < 600)" && $2 ~ /Windows 2000, XP and Server 2003/
an older one found and replaced|Upgrade|$2 == "" && $3 == version && $5 == 1 && $7 == "WIX_UPGRADE_DETECTED"
a newer one found|Upgrade|$2 == version && $3 == "" && $5 == 2 && $7 == "WIX_DOWNGRADE_DETECTED"
a newer one refuses the install|LaunchCondition|$1 == "NOT WIX_DOWNGRADE_DETECTED" && $2 ~ /newer version/
the older product removed first|InstallExecuteSequence|$1 == "RemoveExistingProducts" && $2 == ""
the Run value looked for first|AppSearch|$1 == "RUNVALUE" && $2 == "RunValue"
as it is, in HKLM's 32-bit view|RegLocator|$1 == "RunValue" && $2 == 2 && $3 == run && $4 == "Sentavio" && $5 == 2
no Change button in Add or Remove Programs|Property|$1 == "ARPNOMODIFY" && $2 == "1"
the program's icon there|Property|$1 == "ARPPRODUCTICON" && $2 == "Sentavio.ico"
that icon stored|Icon|$1 == "Sentavio.ico" && $2 == "Icon.Sentavio.ico"
the Run value's component keyed by the value|Component|$1 == component && int($4 / 4) % 2 == 1 && $6 == reg_id
it is transitive, the user's choice its condition (edited)|Component|$1 == component && $4 == 68 && $5 == "RUNVALUE OR (NOT Installed AND NOT WIX_UPGRADE_DETECTED)"
TABLE

expect "the stored icon's first bytes (an icon file: reserved 0, type 1)" \
    "$(msiinfo extract "$msi" Icon.Sentavio.ico 2>/dev/null | od -An -tx1 -N 4 | tr -d ' ')" 00000100

# No custom action, no program stored to run one, and no hash row (edited:
# the program's file is versioned).
for table in CustomAction Binary MsiFileHash; do
    expect "rows in $table" "$(rows $table | grep -c .)" 0
done
finish
