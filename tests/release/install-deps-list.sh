#!/bin/sh
# install-deps-list.sh ROOT WORK_DIR: the dry run of the dependency check
# judges ImageMagick by the commands the scripts run, not by their names:
# with an impostor called convert first on PATH, it names ImageMagick and
# the impostor. An unknown option is refused with a usage line.
set -u
root=$1
work=$2
. "$(dirname "$0")/../support/assert.sh"
rm -rf "$work"
mkdir -p "$work"
printf '#!/bin/sh\necho "convert: not ImageMagick"\n' >"$work/convert"
chmod +x "$work/convert"

listed=$(PATH="$work:$PATH" "$root/scripts/install-deps.sh" --list) || stop "--list failed"
echo "$listed"
echo "$listed" | grep -q "imagemagick.*$work/" || fail "ImageMagick is not listed against the impostors"

said=$("$root/scripts/install-deps.sh" --bogus 2>&1)
status=$?
expect "an unknown option's status" $status 2
echo "$said" | grep -q '^usage: .*install-deps.sh \[--list\]$' || fail "no usage line for an unknown option: $said"
finish
