#!/bin/sh
# reproducible-build.sh SOURCE_DIR WORK_DIR
# Builds Sentavio.exe alone (no test bed, no tests: it needs neither doctest
# nor Wine) twice from one snapshot of the sources, in two fresh trees at
# different paths and moments, and fails unless both are the same byte for
# byte and carry no timestamp in the PE header or the resources.
set -eu
src=$1 work=$2
. "$(dirname "$0")/../support/assert.sh"

rm -rf "$work"
mkdir -p "$work/snapshot"
(cd "$src" && tar --exclude='./build*' --exclude=./.git -cf - .) | tar -xf - -C "$work/snapshot"

# As a release builds it: the preset "shipped".
build() {
    tree=$work/$1
    mkdir -p "$tree"
    cp -R "$work/snapshot" "$tree/src"
    (cd "$tree/src" && cmake --preset shipped >/dev/null && cmake --build --preset shipped -j2 >/dev/null)
}
build first
sleep 1
build second-with-a-longer-path
first=$work/first/src/build-shipped/app/Sentavio.exe
second=$work/second-with-a-longer-path/src/build-shipped/app/Sentavio.exe

cmp "$first" "$second" && pass || fail "the two builds differ"
# Each stamp the PE header or a resource directory carries, once each: all 0.
expect "time stamps" "$("$(dirname "$0")/../support/pe-facts.py" timestamps "$first" | sort -u | tr '\n' ' ')" "header 0 resources 0 "
[ "$failures" = 0 ] && echo "identical: $(wc -c <"$first") bytes, no timestamps"
finish
