#!/bin/sh
# reproducible-build.sh SOURCE_DIR WORK_DIR
# Builds Sentavio.exe alone (no test bed, no tests: it needs neither doctest
# nor Wine) twice from one snapshot of the sources, in two fresh trees at
# different paths and moments, and fails unless both are the same byte for
# byte and carry no timestamp in the PE header or the resources.
set -eu
src=$1
work=$2
objdump=i686-w64-mingw32-objdump

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

status=0
if ! cmp "$first" "$second"; then
    echo "FAIL: the two builds differ" >&2
    status=1
fi
if ! "$objdump" -p "$first" | grep -q '^Time/Date[[:space:]]*Thu Jan  1 00:00:00 1970'; then
    echo "FAIL: the PE header carries a timestamp:" >&2
    "$objdump" -p "$first" | grep '^Time/Date' >&2
    status=1
fi
stamps=$("$objdump" -p "$first" | sed -n 's/.*Table: .* Time: \([0-9a-f]*\),.*/\1/p' | sort -u)
if [ "$stamps" != "00000000" ]; then
    echo "FAIL: resource directories carry timestamps: $stamps" >&2
    status=1
fi
[ $status = 0 ] && echo "identical: $(wc -c <"$first") bytes, no timestamps"
exit $status
