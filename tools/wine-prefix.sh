#!/usr/bin/env bash
# Makes the private 64-bit Wine prefix given as $1 if it does not exist yet
# and starts its wineserver and services, detached from our output, so that
# the test programs neither pay for starting them nor hand them their pipes.
#   wine-prefix.sh <prefix>          start (making the prefix when needed)
#   wine-prefix.sh <prefix> stop     end the wineserver and its services
set -euo pipefail
prefix=$1
export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ "${2:-}" = stop ]; then
  wineserver -k >/dev/null 2>&1 || true
  exit 0
fi
mkdir -p "$prefix"
# Fails harmlessly when the server already runs.
wineserver -p </dev/null >/dev/null 2>&1 || true
if [ ! -f "$prefix/system.reg" ]; then
  wineboot -u </dev/null >/dev/null 2>&1
else
  wineboot </dev/null >/dev/null 2>&1
fi
