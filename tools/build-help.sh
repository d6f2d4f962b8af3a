#!/usr/bin/env bash
# Compiles the help file from its HTML topics with chmcmd (Free Pascal).
#   build-help.sh <topics folder> <work folder> <help file to write>
#
# chmcmd 3.2.2 records the topic of each context id ([ALIAS] and [MAP]) as
# the project folder's absolute path followed by the file name, for example
# "/home/me/help/add-port.htm", while the help viewer looks the topic up by
# its path inside the help file, "/add-port.htm". So the project is compiled
# with its own folder as the root directory: chmcmd runs chrooted into the
# work folder, in a user namespace of its own, and the work folder holds the
# topics, chmcmd and the C libraries it loads.
set -euo pipefail
topics=$1 work=$2 output=$3
project=QRXMH409.hhp
chmcmd=$(readlink -f "$(command -v chmcmd)")

rm -rf "$work"
mkdir -p "$work"
cp "$topics"/* "$work"/

# A file of the host at the same path under the new root.
copy_into_root() {
  mkdir -p "$work$(dirname "$1")"
  cp -L "$1" "$work$1"
}
copy_into_root "$chmcmd"
libraries=$(ldd "$chmcmd" | grep -o '/[^ ]*')
for library in $libraries; do copy_into_root "$library"; done
# Loaded at run time, not linked: the threads of the compressor.
libc=$(grep '/libc\.so' <<<"$libraries")
copy_into_root "$(dirname "$libc")/libpthread.so.0"

unshare --map-root-user --root="$work" --wd=/ "$chmcmd" --no-html-scan "/$project" >"$work.log" 2>&1 || {
  cat "$work.log" >&2
  exit 1
}
compiled=$work/$(sed -n 's/^Compiled file=//p' "$work/$project" | tr -d '\r')
[ -s "$compiled" ] || { cat "$work.log" >&2; echo "build-help.sh: chmcmd wrote no $compiled" >&2; exit 1; }
mkdir -p "$(dirname "$output")"
cp "$compiled" "$output"
