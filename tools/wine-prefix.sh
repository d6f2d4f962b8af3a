#!/usr/bin/env bash
# Makes the private Wine prefix given as $1, of the architecture given as $2
# (win64 or win32), if it does not exist yet and starts its wineserver and
# services, detached from our output, so that the test programs neither pay
# for starting them nor hand them their pipes.
#   wine-prefix.sh <prefix> <arch>        start (making the prefix when needed)
#   wine-prefix.sh <prefix> <arch> stop   end the wineserver and its services
set -euo pipefail
prefix=$1 arch=$2
case "$arch" in
  win64|win32) ;;
  *) echo "wine-prefix.sh: architecture must be win64 or win32, not '$arch'" >&2; exit 2 ;;
esac
export WINEPREFIX=$prefix WINEARCH=$arch WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ "${3:-}" = stop ]; then
  wineserver -k >/dev/null 2>&1 || true
  exit 0
fi
# A prefix made by other Wine packages is made again: a 64-bit prefix made
# before wine32 was installed lacks its 32-bit half, and Wine then no longer
# starts in it ("could not load kernel32.dll").
made_by=$(dpkg-query -W -f='${Package}:${Architecture} ${Version}\n' 'libwine:*' 2>/dev/null | sort)
if [ -f "$prefix/system.reg" ] && [ "$(cat "$prefix/.made-by" 2>/dev/null)" != "$made_by" ]; then
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$prefix"
fi
mkdir -p "$prefix"
# Fails harmlessly when the server already runs.
wineserver -p </dev/null >/dev/null 2>&1 || true
if [ ! -f "$prefix/system.reg" ]; then
  wineboot -u </dev/null >/dev/null 2>&1
  echo "$made_by" >"$prefix/.made-by"
else
  wineboot </dev/null >/dev/null 2>&1
fi
# Xvfb has no window manager: Wine draws the windows' frames and captions
# itself (screenshots then show them), and does not wait for a manager to
# take each window it shows, which costs Wine 8 about 2 s per window.
for setting in Decorated Managed; do
  if ! grep -q "^\"$setting\"=\"N\"" "$prefix/user.reg" 2>/dev/null; then
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v "$setting" /d N /f </dev/null >/dev/null 2>&1
  fi
done
# Debian's Wine 8 does not look for its own Windows fonts (fonts-wine) in its
# data folder; without them captions lack Marlett's buttons and dialogs are
# drawn with a wider stand-in for "MS Sans Serif" that cuts labels short.
wine_fonts=/usr/share/wine/fonts
if [ -d "$wine_fonts" ]; then
  mkdir -p "$prefix/drive_c/windows/Fonts"
  cp -u "$wine_fonts"/* "$prefix/drive_c/windows/Fonts/"
fi
