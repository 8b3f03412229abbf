#!/bin/sh
# scripts/install-deps.sh [--list]
#
# Installs from Debian's packages whatever building and testing Sentavio
# needs and this machine lacks. Needs root only when something is missing.
# With --list it installs nothing and prints what it would install and why.
#
# Each package is judged by the very commands and files the build and the
# scripts use, found the way they find them (the first on PATH), and by the
# package that owns them: a machine may carry another program under the same
# name (a "convert" that is not ImageMagick's, say). 32-bit Wine is needed
# only where this host can run 32-bit programs.
set -eu
sentavio_root=$(cd "$(dirname "$0")/.." && pwd)
cd "$sentavio_root"
# shellcheck source=common.sh
. scripts/common.sh

list=
case "${1:-}" in
"") ;;
--list) list=yes ;;
*)
    echo "usage: $0 [--list]" >&2
    exit 2
    ;;
esac

# Every command and file below, resolved as it is used (a command through
# PATH and its links), and the packages that own them, in one query.
resolve() {
    case "$1" in
    /*) realpath -e "$1" 2>/dev/null || echo "$1" ;;
    *) p=$(command -v "$1" 2>/dev/null) && realpath -e "$p" 2>/dev/null || true ;;
    esac
}
# One row a package: PACKAGE|OWNER|WHAT_FOR|USED...[|FLAG|ANSWER], where
# OWNER is the pattern of the package that owns the used files once it is
# installed. A command owned by no package (a wrapper that hands on to the
# real one, say) still counts when it answers FLAG with a first line that
# begins with ANSWER, as only the real program does.
rows() {
    echo "cmake|cmake|builds both trees|cmake ctest"
    echo "make|make|CMake's Unix Makefiles generator runs it to build|make"
    echo "g++-mingw-w64-i686-win32|g++-mingw-w64-i686-win32|compiles Sentavio.exe (win32 thread model)|i686-w64-mingw32-g++-win32"
    echo "binutils-mingw-w64-i686|binutils-mingw-w64-i686|resources of Sentavio.exe|i686-w64-mingw32-windres"
    echo "g++-mingw-w64-x86-64-win32|g++-mingw-w64-x86-64-win32|compiles the x86_64 test build|x86_64-w64-mingw32-g++-win32"
    echo "binutils-mingw-w64-x86-64|binutils-mingw-w64-x86-64|resources of the x86_64 test build|x86_64-w64-mingw32-windres"
    echo "doctest-dev|doctest-dev|the test programs|/usr/include/doctest/doctest.h"
    echo "xvfb|xvfb|the headless display of every Wine session|Xvfb"
    echo "wine64|wine64|64-bit Wine for the x86_64 suite and the package tests|/usr/lib/wine/wine64 /usr/lib/wine/wineserver64"
    if host_runs_i686; then
        echo "wine32:i386|wine32:i386|32-bit Wine runs Sentavio.exe|/usr/lib/wine/wine"
    fi
    echo "imagemagick|imagemagick-*|ImageMagick's convert and identify turn the pictures into PNG and check them|convert identify|-version|Version: ImageMagick"
    echo "fonts-wine|fonts-wine|Windows 2000's faces for every Wine prefix|/usr/share/wine/fonts/sserife.fon /usr/share/wine/fonts/sseriff.fon /usr/share/wine/fonts/tahoma.ttf /usr/share/wine/fonts/tahomabd.ttf /usr/share/wine/fonts/marlett.ttf"
    echo "wixl|wixl|makes the installer package|wixl"
    echo "msitools|msitools|reads and edits the installer package|msiinfo msibuild msiextract"
    echo "$osslsigncode|osslsigncode|signs, time-stamps and verifies the release's exe and package ($osslsigncode_needs)|osslsigncode|--version|osslsigncode "
    echo "openssl|openssl|checks the signing certificate; the release test's throwaway ones|openssl"
    echo "git|git|the release command builds a commit; its test clones one|git"
    echo "time|time|GNU time measures the benchmark's peak memory|/usr/bin/time"
    echo "hyperfine|hyperfine|times the benchmark's runs|hyperfine"
    echo "python3-pefile|python3-pefile|reads the imports, version and time stamps of the built programs (Debian's python3)|/usr/lib/python3/dist-packages/pefile.py"
    echo "python3-olefile|python3-olefile|the release check reads the package's streams byte for byte (Debian's python3)|/usr/lib/python3/dist-packages/olefile/olefile.py"
    echo "python3-asn1crypto|python3-asn1crypto|the release check reads what the signatures hold (Debian's python3)|/usr/lib/python3/dist-packages/asn1crypto/cms.py"
    echo "python3-cryptography|python3-cryptography|the release check follows the certificates in the signatures (Debian's python3)|/usr/lib/python3/dist-packages/cryptography/x509/base.py"
    echo "shellcheck|shellcheck|keeps every shell script clean at warning level|shellcheck"
    # libFuzzer and the sanitizers' runtime come with clang's own version.
    if clang_major=$(clang++ -dumpversion 2>/dev/null | cut -d. -f1) && [ -n "$clang_major" ]; then
        echo "clang|clang-$clang_major|compiles the fuzzers|clang++"
        echo "libclang-rt-$clang_major-dev|libclang-rt-$clang_major-dev|libFuzzer and the sanitizers' runtime|$(clang++ -print-resource-dir)/lib/linux/libclang_rt.fuzzer-x86_64.a"
    else
        echo "clang|clang-*|compiles the fuzzers|clang++"
        echo "libclang-rt-dev|libclang-rt-*-dev|libFuzzer and the sanitizers' runtime, of clang's version|clang++"
    fi
}
# osslsigncode 2.9 or later: what the release command reads of its output,
# and its -t/-ts stamps and -TSA-CAfile/-time checks. Where this Debian's
# own is older (Debian 12 has 2.5), it comes from the release's backports,
# added from the archive this host's apt already uses.
osslsigncode=osslsigncode
osslsigncode_needs="2.9 or later"
backports=
version_ok() { [ -n "$1" ] && dpkg --compare-versions "$1" ge 2.9; }
osslsigncode_candidate=$(apt-cache policy osslsigncode 2>/dev/null | sed -n 's/^ *Candidate: //p')
if ! version_ok "$(osslsigncode --version 2>/dev/null | sed -n '1s/^osslsigncode \([0-9.]*\).*/\1/p')" &&
    ! version_ok "$osslsigncode_candidate"; then
    backports=$(debian_codename)-backports
    osslsigncode=osslsigncode/$backports
    osslsigncode_needs="2.9 or later; this Debian's own is ${osslsigncode_candidate:-unknown here}: from $backports, added from $(debian_mirror)"
fi
backports_file=/etc/apt/sources.list.d/$backports.sources
backports_source() { printf 'Types: deb\nURIs: %s\nSuites: %s\nComponents: main\n' "$(debian_mirror)" "$backports"; }
table=$(rows)
owners=$(echo "$table" | cut -d'|' -f4 | tr ' ' '\n' | while read -r used; do resolve "$used"; done |
    xargs dpkg-query -S 2>/dev/null || true)
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

need=
need_i386=
shadowed=
report=
while IFS='|' read -r package owner what used flag answer; do
    why=
    for u in $used; do
        r=$(resolve "$u")
        case $u in
        /*) [ -e "$r" ] || { why="no $u"; break; } ;;
        *) [ -e "$r" ] || { why="no $u on PATH"; break; } ;;
        esac
        # The owner of the very file used: another program of the same name
        # belongs to no package of ours.
        o=$(echo "$owners" | awk -F': ' -v f="$r" '$2 == f { print $1 }' | tr ', ' '\n\n' | head -1)
        # Owners carry their architecture ("libwine:amd64") only at times.
        # shellcheck disable=SC2254 # OWNER is a pattern
        case ${o%:amd64} in $owner) continue ;; esac
        if [ -n "$flag" ] && "$u" "$flag" 2>/dev/null | head -1 | grep -q "^$answer"; then continue; fi
        if [ -z "$o" ]; then
            why="the $u used here ($r) comes from no Debian package"
        else
            why="the $u used here ($r) is from $o, not $package"
        fi
        break
    done
    too_old=
    if [ -z "$why" ] && [ "$owner" = osslsigncode ]; then
        v=$(osslsigncode --version 2>/dev/null | sed -n '1s/^osslsigncode \([0-9.]*\).*/\1/p')
        version_ok "$v" || too_old="the osslsigncode here is ${v:-of no known version}, not 2.9 or later"
        why=$too_old
    fi
    [ -n "$why" ] || continue
    if installed "${package%/*}" && { [ -z "$too_old" ] || version_ok "$(dpkg-query -W -f='${Version}' osslsigncode)"; }; then
        # Installing again changes nothing: the other program comes first.
        shadowed="$shadowed  $package is installed, but $why: put the package's directory first on PATH
"
        continue
    fi
    report="$report  $package: $what; $why
"
    case $package in
    *:i386) need_i386=$package ;;
    *) need="$need $package" ;;
    esac
done <<EOF
$table
EOF

if [ -n "$list" ]; then
    if [ -n "$report" ]; then printf 'Would install:\n%s' "$report"; else echo "Nothing to install."; fi
    [ -z "$shadowed" ] || printf 'Cannot mend by installing:\n%s' "$shadowed"
    exit 0
fi
[ -z "$shadowed" ] || printf 'install-deps: warning:\n%s' "$shadowed" >&2
[ -z "$need$need_i386" ] && exit 0

if [ "$(id -u)" != 0 ]; then
    printf 'Missing packages:\n%s' "$report" >&2
    echo "Run this command as root, or install them first:" >&2
    [ -n "$need_i386" ] && echo "  sudo dpkg --add-architecture i386 &&" >&2
    case $need in *"/$backports"*) echo "  printf '$(backports_source | sed 's/$/\\n/' | tr -d '\n')' | sudo tee $backports_file &&" >&2 ;; esac
    echo "  sudo apt-get update && sudo apt-get install -y --no-install-recommends$need $need_i386" >&2
    exit 1
fi

printf 'Installing:\n%s' "$report"
[ -n "$need_i386" ] && dpkg --add-architecture i386
case $need in *"/$backports"*) backports_source >"$backports_file" ;; esac
apt-get update -qq
DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $need $need_i386
