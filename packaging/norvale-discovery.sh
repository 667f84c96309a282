#!/bin/sh
# Starts Norvale Discovery: the release that PREFIX/lib/norvale-discovery/current
# names (an update switches that link in one step).
here="$(dirname "$(readlink -f "$0")")"
exec "$here/../lib/norvale-discovery/current/norvale-discovery" "$@"
