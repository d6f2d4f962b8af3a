#!/usr/bin/env bash
# The main job, end to end: builds the deliverables and tools, installs them
# into a Wine prefix of the build tree, starts the reference Prentova Server
# on loopback, gives the monitor a port for it with host, port, queue and
# separator-sheet options, adds a printer on that port, prints a document
# through Wine's spooler and shows what the server stored.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${QRX_BUILD_DIR:-$root/build}/x64
winpath() { echo "Z:${1//\//\\}"; }

bash "$root/tools/setup.sh"
[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x64.cmake" >/dev/null
cmake --build "$build" -j "$(nproc)" --target qrx-install qrx-list-ports qrx-print qrx-prentova-server qrx-port-dialog \
  QRXServerDll QRXUIDll QRXPromptApp QRXPM1033U QRXPM1036U QRX_EVENT_RU1033RI qrxport >/dev/null

export WINEPREFIX=$build/wineprefix WINEDEBUG=-all LANG=C
"$root/tools/wine-prefix.sh" "$WINEPREFIX" win64
demo=$build/demo
rm -rf "$demo" && mkdir -p "$demo/spool"
server_pid=
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  "$root/tools/wine-prefix.sh" "$WINEPREFIX" win64 stop
}
trap cleanup EXIT

echo "== Installing into $WINEPREFIX"
wine "$build/tools-bin/qrx-install.exe" install "$(winpath "$build/deliverables")"

echo "== Starting the reference Prentova Server on 127.0.0.1:5515"
printf '%s\n' 'PRT1|Floor 2, copy room|Office laser' 'PRT2|Basement|Label printer' >"$demo/printers.txt"
wine "$build/tools-bin/qrx-prentova-server.exe" --listen 127.0.0.1 --port 5515 --jobs 1 \
  --spool "$(winpath "$demo/spool")" --printers "$(winpath "$demo/printers.txt")" >"$demo/server.log" 2>&1 &
server_pid=$!
for _ in $(seq 1 100); do grep -q . "$demo/server.log" 2>/dev/null && break; sleep 0.1; done
cat "$demo/server.log"

echo "== Adding and configuring the port QRXDEMO: with qrxport, over the spooler's Xcv channel"
qrxport() { echo "  qrxport $*"; wine "$build/deliverables/qrxport.exe" "$@" | tr -d '\r' | sed 's/^/    /'; }
wine "$build/deliverables/qrxport.exe" delete 'QRXDEMO:' >/dev/null 2>&1 || true
echo "  the server's printers, as the configure dialog lists them:"
qrxport printers 127.0.0.1 5515
qrxport add 'QRXDEMO:' --host 127.0.0.1 --port 5515 --queue PRT1 --unattended \
  --name "Ann O'Hara" --room 12 --attributes copies=2
qrxport show 'QRXDEMO:'
qrxport test 'QRXDEMO:'
qrxport list
wine "$build/tools-bin/qrx-list-ports.exe" | grep -E "Monitors:|Prentova|Ports:|QRXDEMO"

echo "== Printing a document on the printer \"Prentova Demo\""
head -c 200000 /dev/urandom >"$demo/document.bin"
wine "$build/tools-bin/qrx-print.exe" "Prentova Demo" "QRXDEMO:" "$(winpath "$demo/document.bin")" "Demo document"
wait "$server_pid" || true
server_pid=
cat "$demo/server.log"

echo "== What the server stored"
job=$(ls -d "$demo"/spool/job-* | head -n 1)
for control in "$job"/cf*; do
  echo "control file $(basename "$control"):"
  sed 's/^/    /' "$control"
done
for data in "$job"/df*; do
  echo "data file $(basename "$data"): $(stat -c %s "$data") bytes, sha256 $(sha256sum <"$data" | cut -d' ' -f1)"
done
echo "the document:      $(stat -c %s "$demo/document.bin") bytes, sha256 $(sha256sum <"$demo/document.bin" | cut -d' ' -f1)"
cmp -s "$demo/document.bin" "$job"/df* && echo "the server holds the document byte for byte" || { echo "MISMATCH"; exit 1; }
