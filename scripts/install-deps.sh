#!/bin/sh
# Installs from Debian's packages whatever building and testing Sentavio
# needs and this machine lacks. Needs root only when something is missing.
set -eu

need=""
have_cmd() { command -v "$1" >/dev/null 2>&1; }
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

have_cmd i686-w64-mingw32-g++-win32 || need="$need g++-mingw-w64-i686 binutils-mingw-w64-i686"
have_cmd cmake || need="$need cmake"
[ -f /usr/include/doctest/doctest.h ] || need="$need doctest-dev"
have_cmd Xvfb || need="$need xvfb"
have_pkg wine32:i386 || need="$need wine wine32:i386 wine64"
have_cmd import || need="$need imagemagick"
# The fuzzers: clang with libFuzzer and the sanitizers' runtimes.
have_cmd clang++ || need="$need clang"
have_pkg libclang-rt-14-dev || need="$need libclang-rt-14-dev"

[ -z "$need" ] && exit 0

if [ "$(id -u)" != 0 ]; then
    echo "Missing packages:$need" >&2
    echo "Run this command as root, or install them first:" >&2
    echo "  sudo dpkg --add-architecture i386 && sudo apt-get update &&" >&2
    echo "  sudo apt-get install -y --no-install-recommends$need" >&2
    exit 1
fi

dpkg --add-architecture i386
apt-get update -qq
DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $need
