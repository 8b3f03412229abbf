#!/bin/sh
# Installs what is missing, builds Sentavio.exe and runs it under Wine in a
# session of its own (build/run-session).
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j2 --target Sentavio

session=$PWD/build/run-session
cmake/wine-session.sh start "$session"
trap 'cmake/wine-session.sh stop "$session"' EXIT
SENTAVIO_SESSION=$session cmake/wine-run.sh build/app/Sentavio.exe
echo "Sentavio.exe exited with status $?"
