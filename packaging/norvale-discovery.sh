#!/bin/sh
# Starts Norvale Discovery from its program folder, PREFIX/lib/norvale-discovery.
here="$(dirname "$(readlink -f "$0")")"
exec "$here/../lib/norvale-discovery/norvale-discovery" "$@"
