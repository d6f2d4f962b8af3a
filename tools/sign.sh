#!/usr/bin/env bash
# Signs files in place with an Authenticode signature (SHA-256), with Debian's
# osslsigncode: PE files (programs, libraries) and Windows Installer packages.
#   sign.sh --pfx CERTIFICATE.pfx [--timestamp URL] FILE...
# The PFX file's password comes from the environment variable
# QRX_SIGN_PASSWORD (empty when unset) and reaches osslsigncode on its
# standard input (read as /dev/stdin: Debian 12's osslsigncode 2.5 takes no
# "-"), never on a command line. With --timestamp the signature is
# countersigned by that RFC 3161 timestamp server.
# A file that cannot be signed is deleted, so that the build makes it again
# instead of shipping it unsigned; the exit code is then 1 (2 for a command
# line it cannot read).
set -uo pipefail

usage() { echo "usage: sign.sh --pfx CERTIFICATE.pfx [--timestamp URL] FILE..." >&2; exit 2; }

pfx= timestamp=()
while [ $# -gt 0 ]; do
  case $1 in
    --pfx) [ $# -ge 2 ] || usage; pfx=$2; shift 2 ;;
    --timestamp) [ $# -ge 2 ] || usage; timestamp=(-ts "$2"); shift 2 ;;
    --) shift; break ;;
    -*) usage ;;
    *) break ;;
  esac
done
[ -n "$pfx" ] && [ $# -gt 0 ] || usage

for file in "$@"; do
  signed=$file.signing
  rm -f "$signed"
  if printf '%s' "${QRX_SIGN_PASSWORD:-}" |
    osslsigncode sign -pkcs12 "$pfx" -readpass /dev/stdin -h sha256 -n "Prentova Port Monitor" "${timestamp[@]}" \
      -in "$file" -out "$signed" >/dev/null; then
    mv -f "$signed" "$file"
  else
    echo "sign.sh: signing $file failed; it is deleted so that the next build makes it again" >&2
    rm -f "$signed" "$file"
    exit 1
  fi
done
