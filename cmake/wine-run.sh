#!/bin/sh
# Runs a Windows program under Wine in the session that wine-session.sh
# started in SENTAVIO_SESSION, with the loader of that session's
# architecture. CTest gives every Wine test the run's session there.
session=${SENTAVIO_SESSION:?names no Wine session: start one with cmake/wine-session.sh start}
. "$(dirname "$0")/wine-env.sh"
exec "$wine_loader" "$@"
