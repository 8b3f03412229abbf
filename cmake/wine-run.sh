#!/bin/sh
# Runs a Windows program under Wine in the session that wine-session.sh
# started for SENTAVIO_SESSION (default: the build tree's own session), with
# the loader of that session's architecture.
session=${SENTAVIO_SESSION:-$(pwd)/wine-session}
. "$(dirname "$0")/wine-env.sh"
exec "$wine_loader" "$@"
