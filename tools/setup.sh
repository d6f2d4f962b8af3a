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
# Wine's 32-bit loader, for the x86 suite only: it must match the 64-bit
# packages' versions exactly, so a mirror caught mid-sync (an i386 index that
# does not download) can make it uninstallable for a while. The x86 suite
# then reports itself as not run; everything else goes on.
x86_packages=(wine32:i386)

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

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
      echo "setup: WARNING: $p could not be installed; the x86 tests cannot run"
  done
fi
