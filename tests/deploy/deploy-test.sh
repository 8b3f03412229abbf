#!/bin/sh
# deploy-test.sh MSI PRODUCT_FILE MAKE_PACKAGE CMAKE MACHINE_EXE USER_EXE WORK_DIR
#
# The installer package under Wine's msiexec, in the shared session: install
# (refused before Windows 2000 and from Vista on), upgrade, downgrade
# refused, repair, uninstall (by the package or by its product code alone,
# also where Windows has since become a later one); upgrade and repair after
# the user kept the prompt and after "Don't display this message again.",
# which they must not undo. Each step is judged by the machine: program,
# folder, Run value, Add or Remove Programs entries, and the settings the
# user agreed to.
# The package is 32-bit: a 64-bit prefix puts it under "Program Files (x86)"
# and the Run value in the 32-bit registry view, so the test looks there.
set -u
msi=$1 product_file=$2 make_package=$3 cmake=$4 machine_exe=$5 user_exe=$6 work=$7
sentavio_root=$(cd "$(dirname "$0")/../.." && pwd)
. "$(dirname "$0")/../../scripts/common.sh"
. "$(dirname "$0")/../support/assert.sh"
run="$sentavio_root/cmake/wine-run.sh"

# reg query, held: a reg that Wine failed to start on a busy machine is
# started again, and never reads as an absent key.
query() { "$run" --held-output reg query "$@" 2>/dev/null; }
# reg's answer for one REG_SZ value: its data, or failure when it is absent.
regdata() {  # regdata KEY NAME [VIEW]
    query "$1" /v "$2" ${3:-} | tr -d '\r' |
        awk -v head="    $2    REG_SZ    " \
            'index($0, head) == 1 { print substr($0, length(head) + 1); found = 1 } END { exit !found }'
}

rm -rf "$work"
mkdir -p "$work/current" "$work/older"
case=setup
[ -f "$msi" ] || stop "no package at $msi"
property() { msiinfo export "$msi" Property | tr -d '\r' | awk -F '\t' -v p="$1" '$1 == p { print $2 }'; }
name=$(property ProductName)
version=$(property ProductVersion)

# The program the package holds, and an older package made from the same
# source with a copy of it that differs by a few bytes at the end (ignored
# by the loader), so that the installed file tells which package put it.
msiextract -C "$work/extracted" "$msi" >/dev/null || stop "cannot extract $msi"
cp "$work/extracted/Program Files/Sentavio/Sentavio.exe" "$work/current/Sentavio.exe"
cp "$work/current/Sentavio.exe" "$work/older/Sentavio.exe"
printf 'older package' >>"$work/older/Sentavio.exe"
older_version=0.0.0
"$cmake" -DEXE="$work/older/Sentavio.exe" -DMSI="$work/older.msi" -DPRODUCT="$product_file" \
    -DPACKAGE_VERSION=$older_version -P "$make_package" || stop "no older package"
package() { [ "$1" = current ] && dos_path "$msi" || dos_path "$work/older.msi"; }

# Which prefix: a 64-bit one names a second Program Files folder.
cv='HKLM\Software\Microsoft\Windows\CurrentVersion'
if pf=$(regdata "$cv" 'ProgramFilesDir (x86)'); then
    view=/reg:32
    views='/reg:32 /reg:64'
else
    pf=$(regdata "$cv" ProgramFilesDir) || stop "no Program Files folder"
    view=
    views=-
fi
folder=$("$run" winepath -u "$pf\\Sentavio" | tr -d '\r')
run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
installed_value="\"$pf\\Sentavio\\Sentavio.exe\""
echo "Package $name $version; installs to $pf${view:+, registry view $view}"

# What the package left, in one line: which package's file, the folder, the
# Run value, the number and versions of the product's uninstall entries.
products() {
    for v in $views; do
        echo "VIEW $v"
        [ "$v" = - ] && v=
        query "$cv\\Uninstall" /s $v
    done | tr -d '\r' | awk -v name="$name" '
        BEGIN { dn = "    DisplayName    REG_SZ    "; dv = "    DisplayVersion    REG_SZ    " }
        /^VIEW / { v = $2 }
        /^HKEY_/ { key = v $0 }
        index($0, dn) == 1 && substr($0, length(dn) + 1) == name { hit[key] = 1 }
        index($0, dv) == 1 { version[key] = substr($0, length(dv) + 1) }
        END { n = 0; s = ""; for (k in hit) { n++; s = s " " version[k] } print n s }'
}
state() {
    exe=none
    if [ -f "$folder/Sentavio.exe" ]; then
        exe=other
        cmp -s "$folder/Sentavio.exe" "$work/current/Sentavio.exe" && exe=current
        cmp -s "$folder/Sentavio.exe" "$work/older/Sentavio.exe" && exe=older
    fi
    [ -d "$folder" ] && dir=folder || dir=no-folder
    value=$(regdata "$run_key" Sentavio $view) || value=absent
    printf 'exe=%s %s value=%s products=%s\n' "$exe" "$dir" "$value" "$(products)"
}
clean_state="exe=none no-folder value=absent products=0"
# Add or Remove Programs besides name and version: whether it offers Change,
# whether the icon Windows Installer keeps is the package's own, and the
# publisher as an inventory reads it.
code=$(property ProductCode)
msiinfo extract "$msi" Icon.Sentavio.ico >"$work/icon.ico" 2>/dev/null
arp() {
    nomodify=$(query "$cv\\Uninstall\\$code" /v NoModify $view | tr -d '\r' |
        awk '$1 == "NoModify" { print $3 }')
    icon=$(query 'HKLM\Software\Classes\Installer\Products' /s | tr -d '\r' |
        awk -v code="$code" '$1 == "ProductIcon" && index($0, code) { sub(/^.*REG_SZ +/, ""); print }')
    shown=none
    if [ -n "$icon" ]; then
        file=$("$run" winepath -u "$icon" | tr -d '\r')
        if cmp -s "$file" "$work/icon.ico"; then shown=package; else shown="other($icon: $(ls -l "$file" 2>&1))"; fi
    fi
    publisher=$(regdata "$cv\\Uninstall\\$code" Publisher $view) || publisher=none
    echo "NoModify=${nomodify:-none} icon=$shown publisher=[$publisher]"
}
installed() {  # installed EXE VERSION [absent]: one product, its folder, the Run value or none
    printf 'exe=%s folder value=%s products=1 %s\n' "$1" "${3:-$installed_value}" "$2"
}
value_after() { [ "$1" = ticked ] && echo absent; }
# The machine's own settings, which no step here may change.
settings() { machine report | tr -d '\r' | grep -v '^autostart value:'; }

# Silent; its log and Wine's output kept for why() to show on a failure.
# Held: a run that Wine failed to start is started again.
msiexec() {
    "$run" --held-output msiexec "$@" /qn /l\*v "$(dos_path "$work/msiexec.log")" >"$work/msiexec.out" 2>&1
}
why() {  # why STATUS: the status of the last msiexec, the errors it logged, what Wine said
    printf 'msiexec status %s; ' "$1"
    { tr -d '\r\0' <"$work/msiexec.log" | grep -i -E 'error|return value 3'; tr -d '\r' <"$work/msiexec.out"; } 2>/dev/null |
        tail -n 5 | tr '\n' ' '
}
outcome() { [ "$1" = 0 ] && echo "done" || echo refused; }
# The Windows version msiexec reports (its VersionNT) is the one Wine gives
# msiexec.exe: its own AppDefaults entry, else the prefix's (Windows 7 or
# later in a new prefix, which the package refuses).
windows() { "$run" reg add 'HKCU\Software\Wine\AppDefaults\msiexec.exe' /v Version /d "$1" /f >/dev/null; }
# What the last msiexec's log says of the Windows version, and the last
# action it started: where a refusal came from.
reported() {
    tr -d '\r\0' <"$work/msiexec.log" |
        awk '/^Property\(S\): (VersionNT|Version9X) = / && !seen[$2]++ { printf "%s%s=%s", sep, $2, $4; sep = " " }'
}
last_action() { tr -d '\r\0' <"$work/msiexec.log" | sed -n 's/^Action start [0-9:]*: \(.*\)\.$/\1/p' | tail -n 1; }
# Each case starts from a machine without the package or its Run value
# (which other tests set), msiexec on Windows 2000 as the simulated machine.
reset() {
    msiexec /x "$(package current)"
    msiexec /x "$(package older)"
    "$run" reg delete "$run_key" /v Sentavio $view /f >/dev/null 2>&1
    windows win2k
    [ "$(state)" = "$clean_state" ] || { fail "cannot start from a clean machine: $(state)"; return 1; }
}
now_ms() { echo $(($(date +%s%N) / 1000000)); }

# The user's answer to the installed program's prompt: "kept" leaves the
# Run value; "ticked" ("Don't display this message again.") deletes it. In
# a 32-bit prefix the installed program runs from the value's command line;
# in a 64-bit one the test bed cannot simulate the machine for a 32-bit
# program, so the test deletes the value as the program would.
answer() {  # answer kept|ticked
    [ "$1" = ticked ] || return 0
    command=$(regdata "$run_key" Sentavio $view) || { fail "no Run value to tick"; return; }
    if [ -z "$view" ]; then
        "$run" "$user_exe" no tick "run=$command" >"$work/user.txt" 2>&1
        grep -q '^prompt: ' "$work/user.txt" && pass || fail "the installed program did not prompt: $(cat "$work/user.txt")"
    else
        "$run" reg delete "$run_key" /v Sentavio $view /f >/dev/null 2>&1
    fi
    expect "ticked: Run value" "$(regdata "$run_key" Sentavio $view || echo absent)" absent
}
# uninstall WHAT [code]: by the package file, or by the product code alone
# (as an administrator without the file removes it); nothing of the
# package's is left, the settings as they were.
uninstall() {
    if [ "${2:-}" = code ]; then msiexec /x "$code"; else msiexec /x "$(package current)"; fi
    expect "$1, uninstall: outcome" "$(outcome $?)" "done"
    expect "$1, uninstall: machine" "$(state)" "$clean_state"
    expect "$1, uninstall: settings" "$(settings)" "$settings_before"
}

# A simulated machine that qualifies, so that the installed program prompts.
machine_qualify || stop "cannot prepare the machine"
settings_before=$(settings)

# Install, as each Windows version msiexec may report.
case=install
while read -r windows reports expected; do
    reset || break
    windows "$windows"
    start=$(now_ms)
    msiexec /i "$(package current)"
    status=$?
    [ "$windows" = win2k ] && echo "Install took $(($(now_ms) - start)) ms (msiexec /i /qn under Wine)"
    expect "$windows: msiexec reports" "$(reported)" "$reports"
    expect "$windows: outcome" "$(outcome $status)" "$expected"
    if [ "$expected" = "done" ]; then
        expect "$windows: machine" "$(state)" "$(installed current "$version")"
        expect "$windows: Add or Remove Programs" "$(arp)" \
            "NoModify=0x1 icon=package publisher=[$(property Manufacturer)]"
    else
        expect "$windows: refused by" "$(last_action)" LaunchConditions
        expect "$windows: machine" "$(state)" "$clean_state"
    fi
done <<'TABLE'
nt40 VersionNT=400 refused
win98 Version9X=410 refused
win2k VersionNT=500 done
winxp VersionNT=501 done
win2003 VersionNT=502 done
vista VersionNT=600 refused
win7 VersionNT=601 refused
TABLE

# Each row: FIRST installed and the user's answer (CHOICE); SECOND (or -)
# installed over it, in MODE for a repair, EXE the file it must leave; an
# uninstall on WINDOWS by the package or its product code (BY). An upgrade
# replaces the older package in place, writing the Run value (the new path)
# only where it still is; the older one refuses to replace the newer. A
# repair changes nothing the user chose: "o" reinstalls a file only where it
# is missing or older, and "older" has the same file version (it differs in
# bytes the loader ignores). Wine treats "a" as "o" (Windows would copy the
# file), and weighs the Run value's condition again even without the
# transitive bit that Windows Installer needs: package-test.sh checks it.
# The uninstall also works once Windows became one the package refuses.
while read -r case first choice second mode expected exe windows by; do
    reset || break
    msiexec /i "$(package $first)" || { fail "cannot install $first: $(why $?)"; continue; }
    answer $choice
    if [ "$second" != - ]; then
        [ "$exe" = older ] && cp "$work/older/Sentavio.exe" "$folder/Sentavio.exe"
        if [ "$mode" = - ]; then
            msiexec /i "$(package $second)"
        else
            msiexec /i "$(package $second)" REINSTALL=ALL REINSTALLMODE=$mode
        fi
        expect "$first, $choice, $second $mode: outcome" "$(outcome $?)" "$expected"
        expect "$first, $choice, $second $mode: machine" "$(state)" \
            "$(installed $exe "$version" "$(value_after $choice)")"
        expect "$first, $choice, $second $mode: settings" "$(settings)" "$settings_before"
    fi
    windows "$windows"
    uninstall "$first, $choice, $second $mode, $windows, by $by" "$by"
done <<'TABLE'
upgrade older kept current - done current win2k package
upgrade older ticked current - done current win2k package
downgrade current kept older - refused current win2k package
repair current kept current amus done current win2k package
repair current ticked current amus done current win2k package
repair current ticked current omus done current win2k package
repair current kept current omus done older win2k package
uninstall current kept - - - - win2k package
uninstall current ticked - - - - win2k code
uninstall current kept - - - - vista code
TABLE

case=end
reset
"$run" reg delete 'HKCU\Software\Wine\AppDefaults\msiexec.exe' /f >/dev/null 2>&1
finish
