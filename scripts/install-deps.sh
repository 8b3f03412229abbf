#!/bin/sh
# Installs from Debian's packages whatever building and testing Sentavio
# needs and this machine lacks. Needs root only when something is missing.
# 32-bit Wine is installed only where this host can run 32-bit programs;
# everywhere else the x86_64 test build runs on 64-bit Wine.
set -eu
cd "$(dirname "$0")/.."
. scripts/host.sh

need=""
need_i386=""
have_cmd() { command -v "$1" >/dev/null 2>&1; }
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

have_cmd cmake || need="$need cmake"
have_cmd i686-w64-mingw32-g++-win32 || need="$need g++-mingw-w64-i686-win32 binutils-mingw-w64-i686"
have_cmd x86_64-w64-mingw32-g++-win32 || need="$need g++-mingw-w64-x86-64-win32 binutils-mingw-w64-x86-64"
[ -f /usr/include/doctest/doctest.h ] || need="$need doctest-dev"
have_cmd Xvfb || need="$need xvfb"
[ -x /usr/lib/wine/wine64 ] || need="$need wine64"
[ -f /usr/share/wine/fonts/sserife.fon ] || need="$need fonts-wine"
if host_runs_i686; then
    [ -x /usr/lib/wine/wine ] || need_i386="wine32:i386"
fi
have_cmd convert || need="$need imagemagick"
# The installer package: wixl makes it, msitools reads it back in the tests.
have_cmd wixl || need="$need wixl"
have_cmd msiinfo || need="$need msitools"
# The fuzzers: clang with libFuzzer and the sanitizers' runtime of the same
# version (libclang-rt-dev follows Debian's default clang).
if have_cmd clang++; then
    clang_major=$(clang++ -dumpversion | cut -d. -f1)
    have_pkg "libclang-rt-$clang_major-dev" || need="$need libclang-rt-$clang_major-dev"
else
    need="$need clang libclang-rt-dev"
fi

[ -z "$need$need_i386" ] && exit 0

if [ "$(id -u)" != 0 ]; then
    echo "Missing packages:$need $need_i386" >&2
    echo "Run this command as root, or install them first:" >&2
    [ -n "$need_i386" ] && echo "  sudo dpkg --add-architecture i386 &&" >&2
    echo "  sudo apt-get update && sudo apt-get install -y --no-install-recommends$need $need_i386" >&2
    exit 1
fi

[ -n "$need_i386" ] && dpkg --add-architecture i386
apt-get update -qq
DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $need $need_i386
