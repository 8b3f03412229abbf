#!/bin/sh
# install-deps-list.sh ROOT WORK_DIR: the dry run of the dependency check
# judges ImageMagick by the commands the scripts run, not by their names:
# with an impostor called convert first on PATH, it names ImageMagick and
# the impostor. The commands refuse what they do not know, before they do
# anything: an unknown option with a usage line, an unknown language naming
# the ones the program speaks (from their one table), the i686 program asked
# for where the kernel cannot run it.
set -u
root=$1 work=$2
. "$(dirname "$0")/../support/assert.sh"
rm -rf "$work"
mkdir -p "$work"
printf '#!/bin/sh\necho "convert: not ImageMagick"\n' >"$work/convert"
# An osslsigncode too old for the release (Debian 12's own).
printf '#!/bin/sh\necho "osslsigncode 2.5, using:"\n' >"$work/osslsigncode"
chmod +x "$work/convert" "$work/osslsigncode"
# A kernel that refuses 32-bit programs, as the scripts' probe meets it.
mkdir "$work/no32"
printf '#!/bin/sh\ncase "$3" in *sentavio-i686.*) exit 126 ;; esac\nexec /bin/bash "$@"\n' >"$work/no32/bash"
chmod +x "$work/no32/bash"

case=list
listed=$(PATH="$work:$PATH" "$root/scripts/install-deps.sh" --list) || stop "--list failed"
echo "$listed"
echo "$listed" | grep -q "imagemagick.*$work/" || fail "ImageMagick is not listed against the impostors"
echo "$listed" | grep -q "^  osslsigncode.* here is 2\.5, not 2\.9 or later" || fail "osslsigncode 2.5 is not listed as too old"

locales=$(awk '!/^#/ { printf "%s%s", sep, $1; sep = " " }' "$root/res/languages.txt")
# Each row: its name, the command, the pattern its first line must match; status 2.
while IFS='|' read -r case command expected; do
    said=$(eval "$command" 2>&1 </dev/null)
    status=$?
    expect "status of $command" "$status" 2
    echo "$said" | head -n 1 | grep -q -e "$expected" || fail "$command said: $said"
done <<EOF
unknown option|"$root/scripts/install-deps.sh" --bogus|^usage: .*install-deps.sh \[--list\]\$
unknown answer|"$root/scripts/run.sh" maybe|^usage: .*run.sh \[yes|no|cancel|ok\] \[tick\] \[restart\] \[lang=LOCALE\]\$
unknown language|"$root/scripts/run.sh" lang=xx_XX|run.sh: unknown language 'xx_XX'; Sentavio speaks $locales\$
unknown Debian|"$root/scripts/on-debian.sh" 11|^usage: .*on-debian.sh 12|13 \[SCRIPT \[ARGUMENTS...\]\]\$
no such script|"$root/scripts/on-debian.sh" 13 scripts/none.sh|on-debian.sh: no script scripts/none.sh in $root\$
i686 where it cannot run|PATH="$work/no32:$PATH" SENTAVIO_ARCH=i686 "$root/scripts/run.sh" no|^SENTAVIO_ARCH=i686 asks for the i686 program, but this host's kernel does not run 32-bit programs
EOF
finish
