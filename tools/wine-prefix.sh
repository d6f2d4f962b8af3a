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
# What a prefix is made with: the Wine packages and this script. A prefix
# made with anything else is made again: a 64-bit prefix made before wine32
# was installed lacks its 32-bit half, and Wine then no longer starts in it
# ("could not load kernel32.dll").
recipe="$(dpkg-query -W -f='${Package}:${Architecture} ${Version}\n' 'libwine:*' 2>/dev/null | sort)
$(sha256sum <"${BASH_SOURCE[0]}")"
made_with() { [ "$(cat "$1/.made-by" 2>/dev/null)" = "$recipe" ]; }

# A new prefix is a copy of a pristine one of its architecture, made once for
# each recipe and kept in the user's cache: Wine's first start in a new
# prefix costs about 16 s of CPU, a copy under 3. The pristine prefix has run
# nothing but Wine's own set-up, and its wineserver ended on its own, having
# saved the registry. Nothing in a prefix names the folder it is in.
templates=${XDG_CACHE_HOME:-$HOME/.cache}/qrx/wine-prefixes
template=$templates/$arch
# make_template: the pristine prefix; it is marked as made only when every
# step succeeded and its wineserver ended within the bound.
make_template() {
  local setting wine_fonts=/usr/share/wine/fonts
  rm -rf "$template" && mkdir -p "$template" || return 1
  WINEPREFIX=$template wineboot -u </dev/null >/dev/null 2>&1 || return 1
  # Xvfb has no window manager: Wine draws the windows' frames and captions
  # itself (screenshots then show them), and does not wait for a manager to
  # take each window it shows, which costs Wine 8 about 2 s per window.
  for setting in Decorated Managed; do
    WINEPREFIX=$template wine reg add 'HKCU\Software\Wine\X11 Driver' /v "$setting" /d N /f \
      </dev/null >/dev/null 2>&1 || return 1
  done
  # Debian's Wine 8 does not look for its own Windows fonts (fonts-wine) in its
  # data folder; without them captions lack Marlett's buttons and dialogs are
  # drawn with a wider stand-in for "MS Sans Serif" that cuts labels short.
  if [ -d "$wine_fonts" ]; then
    mkdir -p "$template/drive_c/windows/Fonts" && cp "$wine_fonts"/* "$template/drive_c/windows/Fonts/" || return 1
  fi
  if ! WINEPREFIX=$template timeout 120 wineserver -w; then
    WINEPREFIX=$template wineserver -k >/dev/null 2>&1
    echo "wine-prefix.sh: the wineserver of $template did not end within 120 s" >&2
    return 1
  fi
  echo "$recipe" >"$template/.made-by"
}
copy_template() {
  mkdir -p "$templates"
  (
    flock 9
    made_with "$template" || make_template || exit 1
    rm -rf "$prefix"
    cp -a "$template" "$prefix"
    # The name of the template's wineserver socket folder, not this prefix's.
    rm -f "$prefix/wineserver"
  ) 9>"$templates/$arch.lock"
}

if [ -f "$prefix/system.reg" ] && ! made_with "$prefix"; then
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$prefix"
fi
[ -f "$prefix/system.reg" ] || copy_template || exit 1
# Fails harmlessly when the server already runs.
wineserver -p </dev/null >/dev/null 2>&1 || true
wineboot </dev/null >/dev/null 2>&1
