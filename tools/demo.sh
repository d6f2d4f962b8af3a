#!/usr/bin/env bash
# The main job, shown end to end: builds the deliverables, installs them into
# a Wine prefix of the build tree, adds two ports to the monitor's store and
# shows Wine's real spooler listing the monitor and its ports.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${QRX_BUILD_DIR:-$root/build}/x64

bash "$root/tools/setup.sh"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x64.cmake" >/dev/null
cmake --build "$build" -j "$(nproc)" --target qrx-install qrx-list-ports QRXServerDll QRXPM1033U QRX_EVENT_RU1033RI >/dev/null

export WINEPREFIX=$build/wineprefix WINEDEBUG=-all LANG=C
"$root/tools/wine-prefix.sh" "$WINEPREFIX"
trap '"$root/tools/wine-prefix.sh" "$WINEPREFIX" stop' EXIT

echo "== Installing into $WINEPREFIX"
wine "$build/tools-bin/qrx-install.exe" install "Z:${build//\//\\}\\deliverables"

echo "== Adding the ports QRX1: and QRX2: to the monitor's store"
ports='HKLM\System\CurrentControlSet\Control\Print\Monitors\Prentova Port Monitor\Ports'
for port in QRX1: QRX2:; do
  wine reg add "$ports\\$port" /v Host /t REG_SZ /d printhost.example /f >/dev/null 2>&1
done

echo "== What the spooler lists"
wine "$build/tools-bin/qrx-list-ports.exe"
