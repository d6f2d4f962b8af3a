#!/usr/bin/env bash
# Fails when a deliverable imports a library that a Windows system does not
# carry (the toolchain's own runtime DLLs above all).
#   check-imports.sh <objdump> <file>...
set -euo pipefail
objdump=$1; shift
status=0
for file in "$@"; do
  imports=$("$objdump" -p "$file" | sed -n 's/^\s*DLL Name: //p')
  for dll in $imports; do
    case "${dll,,}" in
      kernel32.dll|msvcrt.dll|advapi32.dll|user32.dll|gdi32.dll|winspool.drv|ws2_32.dll|shell32.dll|\
      comctl32.dll|ole32.dll|userenv.dll|wtsapi32.dll|comdlg32.dll|msi.dll|api-ms-win-*) ;;
      *) echo "$file imports $dll, which is not a system library"; status=1 ;;
    esac
  done
  echo "$(basename "$file"): imports ${imports//$'\n'/ }"
done
exit $status
