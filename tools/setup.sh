#!/usr/bin/env bash
# Installs, from Debian's packages, every tool the build and the tests need.
# Safe to run again: packages already present are left alone.
set -euo pipefail

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
export DEBIAN_FRONTEND=noninteractive

# The x86 tests run under Wine's 32-bit loader, which Debian ships for the
# i386 architecture only.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "setup: adding the i386 architecture"
  $SUDO dpkg --add-architecture i386
fi

packages=(
  cmake make
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools binutils-mingw-w64
  googletest
  wine wine64 fonts-wine
  xvfb xauth x11-apps imagemagick
  fp-utils
  wixl msitools
  osslsigncode openssl python3
  nlohmann-json3-dev
)
# Wine's 32-bit loader, for the x86 suite only: its libraries must match the
# 64-bit ones' versions exactly, so a mirror caught mid-sync can make it
# uninstallable (see install_with_i386_halves_from_pool). When even that
# fails, the x86 suite reports itself as not run; everything else goes on.
x86_packages=(wine32:i386)

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

# A mirror's i386 index of security updates can lag behind its amd64 one (or
# not download at all); the i386 halves of libraries updated on amd64 are
# then in no index, though the security pool holds them. This fetches, for
# every i386 package the given one needs, the i386 build of the amd64
# candidate's version from where the amd64 one comes, and lets apt install
# them with the package.
install_with_i386_halves_from_pool() {
  local package=$1 dir dep version uri
  dir=$(mktemp -d)
  chmod 755 "$dir"
  for dep in $(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
                 --no-replaces --no-enhances "$package" 2>/dev/null | sed -n 's/^\([^ <][^ ]*\):i386$/\1/p' | sort -u); do
    version=$(apt-cache policy "$dep:amd64" 2>/dev/null | sed -n 's/^ *Candidate: //p')
    [ -n "$version" ] && [ "$version" != "(none)" ] || continue
    [ "$(apt-cache policy "$dep:i386" 2>/dev/null | sed -n 's/^ *Candidate: //p')" != "$version" ] || continue
    uri=$(apt-get download --print-uris "$dep:amd64=$version" 2>/dev/null | sed -n "s/^'\(.*\)_amd64\.deb' .*/\1_i386.deb/p")
    [ -n "$uri" ] || continue
    /usr/lib/apt/apt-helper download-file "$uri" "$dir/${uri##*/}" >/dev/null 2>&1 || true
  done
  local halves=("$dir"/*.deb)
  [ -e "${halves[0]}" ] || halves=()
  echo "setup: installing $package with ${#halves[@]} i386 package(s) fetched from the pool"
  local result=0
  $SUDO apt-get install -y -qq --no-install-recommends "$package" "${halves[@]}" >/dev/null || result=$?
  rm -rf "$dir"
  return $result
}

missing=()
for p in "${packages[@]}" "${x86_packages[@]}"; do
  installed "$p" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  # A mirror in the middle of a sync fails an index now and then: try again a
  # few times; an index that still fails is left out, as apt itself does.
  for attempt in 1 2 3; do
    $SUDO apt-get update -qq && break
    echo "setup: apt-get update failed (attempt $attempt)"
    [ "$attempt" -lt 3 ] && sleep 20
  done
  base_missing=()
  for p in "${packages[@]}"; do installed "$p" || base_missing+=("$p"); done
  if [ ${#base_missing[@]} -gt 0 ]; then
    $SUDO apt-get install -y -qq --no-install-recommends "${base_missing[@]}" >/dev/null
  fi
  for p in "${x86_packages[@]}"; do
    installed "$p" || $SUDO apt-get install -y -qq --no-install-recommends "$p" >/dev/null ||
      install_with_i386_halves_from_pool "$p" ||
      echo "setup: WARNING: $p could not be installed; the x86 tests cannot run"
  done
fi
