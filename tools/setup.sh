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

# What the build needs, installed first; then what the tests need.
build_packages=(
  cmake make ninja-build
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools binutils-mingw-w64
  googletest
  fp-utils
  wixl msitools
  nlohmann-json3-dev
)
test_packages=(
  wine wine64 fonts-wine
  xvfb xauth x11-apps imagemagick
  osslsigncode openssl python3
  netbase  # /etc/services, whose names the monitor's tests resolve through Wine
)
packages=("${build_packages[@]}" "${test_packages[@]}")
# Wine's 32-bit loader, for the x86 suite only: its libraries must match the
# 64-bit ones' versions exactly, so a mirror caught mid-sync can make it
# uninstallable (see install_at_versions_both_architectures_list). When that
# fails too, the x86 suite reports itself as not run; everything else goes on.
x86_packages=(wine32:i386)

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

# The version of each package (name:arch) on the machine before this run: the
# fallback below never takes one below it.
declare -A version_before
while read -r p v; do version_before[$p]=$v; done < <(dpkg-query -W -f='${db:Status-Abbrev}${Package}:${Architecture} ${Version}\n' | sed -n 's/^ii *//p')

candidate() { apt-cache policy "$1" | sed -n 's/^ *Candidate: //p'; }

# The versions of PACKAGE:ARCH that the signed indexes list.
index_versions() { apt-cache madison "$1" | awk -F'|' '{ gsub(/ /, "", $2); print $2 }'; }

# The newest version of PACKAGE that both the amd64 and the i386 indexes list.
newest_on_both() {
  local version newest="" amd64_versions
  amd64_versions=$(index_versions "$1:amd64")
  for version in $(index_versions "$1:i386"); do
    grep -qxF "$version" <<<"$amd64_versions" || continue
    if [ -z "$newest" ] || dpkg --compare-versions "$version" gt "$newest"; then newest=$version; fi
  done
  echo "$newest"
}

# A mirror's i386 index of security updates can lag behind its amd64 one (or
# not download at all): the i386 halves of the libraries that this machine
# has at a newer amd64 version are then in no index, and apt cannot install
# the package. This installs the package, through apt and from the signed
# indexes only, with each such library at the newest version that both
# architectures' indexes list: its i386 half at that version and, where that
# is older than the installed amd64 half, the amd64 half (with the packages
# built from the same source at the same version) taken down to it. Only
# what this run itself installed or raised is taken down, never below the
# version the machine had before: a library it had at that version (its C
# library, a security update) stays, and the package is then not installed,
# since a test suite is no reason to make the machine older.
install_at_versions_both_architectures_list() {
  local package=$1 dep amd64_version version member source
  local -A pins=()
  local changes=() blocked=() args=() auto=()
  echo "setup: apt cannot install $package as the indexes stand; matching its libraries' versions on amd64 and i386"
  for dep in $(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
                 --no-replaces --no-enhances "$package" | sed -n 's/^\([^ <][^ ]*\):i386$/\1/p' | sort -u); do
    installed "$dep:amd64" || continue
    [ "$(apt-cache show --no-all-versions "$dep:i386" | sed -n 's/^Multi-Arch: //p')" = same ] || continue
    amd64_version=$(dpkg-query -W -f='${Version}' "$dep:amd64")
    version=$(candidate "$dep:i386")
    [ "$version" != "$amd64_version" ] || [ "$version" != "$(candidate "$dep:amd64")" ] || continue
    version=$(newest_on_both "$dep")
    if [ -z "$version" ]; then
      blocked+=("no version of $dep is listed for both amd64 and i386")
      continue
    fi
    pins[$dep:i386]=$version
    if ! dpkg --compare-versions "$version" lt "$amd64_version"; then
      pins[$dep:amd64]=$version
      changes+=("$dep pinned to $version on amd64 and i386")
      continue
    fi
    changes+=("$dep:i386 pinned to $version")
    # The amd64 half goes down, and with it the packages built with it.
    source=$(dpkg-query -W -f='${source:Package}' "$dep:amd64")
    for member in $(dpkg-query -W -f='${db:Status-Abbrev}${source:Package} ${Version} ${Package}:${Architecture}\n' |
                      awk -v s="$source" -v v="$amd64_version" '$1 == "ii" && $2 == s && $3 == v { print $4 }'); do
      [ -z "${pins[$member]:-}" ] || continue
      pins[$member]=$version
      if [ -n "${version_before[$member]:-}" ] && dpkg --compare-versions "$version" lt "${version_before[$member]}"; then
        blocked+=("$member would go down from ${version_before[$member]}, which this machine had, to $version: not done")
      else
        changes+=("$member taken down from $amd64_version to $version")
      fi
    done
  done
  if [ ${#blocked[@]} -gt 0 ] || [ ${#pins[@]} -eq 0 ]; then
    [ ${#pins[@]} -gt 0 ] || blocked+=("no library of $package differs in version between amd64 and i386")
    printf 'setup: %s\n' "${blocked[@]}"
    return 1
  fi
  printf 'setup: %s\n' "${changes[@]}"
  for member in "${!pins[@]}"; do args+=("${member%:all}=${pins[$member]}"); done
  # Named packages become manually installed: the pinned ones that were
  # installed automatically, and the new i386 ones, are marked so again.
  mapfile -t auto < <(apt-mark showauto "${!pins[@]}"; printf '%s\n' "${!pins[@]}" | grep ':i386$')
  $SUDO apt-get install -y -qq --no-install-recommends --allow-downgrades "$package" "${args[@]}" >/dev/null || return 1
  $SUDO apt-mark auto "${auto[@]}" >/dev/null
  echo "setup: $package installed, with ${#pins[@]} package(s) at versions both architectures' indexes list"
}

missing=()
for p in "${packages[@]}" "${x86_packages[@]}"; do
  installed "$p" || missing+=("$p")
done

install_missing() {
  local p missing=()
  for p in "$@"; do installed "$p" || missing+=("$p"); done
  [ ${#missing[@]} -eq 0 ] || $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  # A mirror in the middle of a sync fails an index now and then: try again a
  # few times; an index that still fails is left out, as apt itself does.
  for attempt in 1 2 3; do
    $SUDO apt-get update -qq && break
    echo "setup: apt-get update failed (attempt $attempt)"
    [ "$attempt" -lt 3 ] && sleep 20
  done
  install_missing "${build_packages[@]}"
fi
# A caller that builds while the rest is installed learns that it may start.
[ -z "${QRX_SETUP_BUILD_TOOLS_READY:-}" ] || touch "$QRX_SETUP_BUILD_TOOLS_READY"
if [ ${#missing[@]} -gt 0 ]; then
  install_missing "${test_packages[@]}"
  for p in "${x86_packages[@]}"; do
    installed "$p" || $SUDO apt-get install -y -qq --no-install-recommends "$p" >/dev/null ||
      install_at_versions_both_architectures_list "$p" ||
      echo "setup: WARNING: $p could not be installed; the x86 tests will not run"
  done
fi
