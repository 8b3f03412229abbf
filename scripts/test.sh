#!/bin/sh
# Installs what is missing, builds Sentavio.exe and its tests, and runs the
# whole suite under Wine.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release
cmake --build --preset release -j2
ctest --preset release "$@"
