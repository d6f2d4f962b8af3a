#!/usr/bin/env bash
# Tests of the installer packages; the last line counts the checks.
#   package-tests.sh tables PACKAGE REBUILT_PACKAGE ARCH SETUP_ACTIONS_DLL SHIPPED...
#     the package's tables as msiinfo reads them, and its files as built;
#     REBUILT_PACKAGE is another build of the same version.
#   package-tests.sh lifecycle PACKAGE REBUILT_PACKAGE NEWER_PACKAGE PREFIX WINEARCH TOOLS_DIR SHIPPED...
#     install, use, refused removal, another build of the same version over
#     the first, repair, upgrade and removal with msiexec /qn, in a Wine
#     prefix made afresh at PREFIX, every Wine program under a time limit.
#   package-tests.sh refused-on-64bit PACKAGE PREFIX
#     the x86 package refuses to install in a fresh 64-bit prefix.
# SHIPPED: the shipped files as FOLDER=PATH, FOLDER being SYSTEM or HELP.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
mode=$1
shift

passed=0 failed=0
# check DESCRIPTION COMMAND...: the command's success passes the check.
check() {
  "${@:2}" && passed=$((passed + 1)) && return
  failed=$((failed + 1)) && echo "FAILED: $1" && return 1
}
# show_log LOG: the end of an installer log without its property lists, to explain a failed check.
show_log() { tr -d '\r' <"$1" | grep -v '^Property(' | tail -n 80 | sed 's/^/  | /'; }

winpath() { echo "Z:${1//\//\\}"; }
# A line equal to the pattern (an extended regular expression) is in the input.
# The greps in pipelines read to the end, not stopping at the first match (-q):
# with pipefail, a writer still writing then fails the pipeline on SIGPIPE.
has_line() { tr -d '\r' | grep -xE -- "$1" >/dev/null; }
# The input holds the text.
has_text() { tr -d '\r' | grep -F -- "$1" >/dev/null; }
not() { ! "$@"; }

# package_property PACKAGE NAME: the value of a row of the package's Property table.
package_property() { msiinfo export "$1" Property | tr -d '\r' | awk -F'\t' -v name="$2" '$1 == name { print $2 }'; }

# --- tables -----------------------------------------------------------------

tables() {
  local package=$1 rebuilt=$2 arch=$3 actions=$4
  shift 4
  local system_folder=System64Folder program_files=ProgramFiles64Folder bits=256 template='x64;1033' search=18
  if [ "$arch" = x86 ]; then
    system_folder=SystemFolder program_files=ProgramFilesFolder bits=0 template='Intel;1033' search=2
  fi
  local event_key='SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Prentova Port Monitor'
  local tab=$'\t'
  # Table, then a row of it (an extended regular expression; tabs between columns).
  local expected=(
    "Property|ProductName${tab}Prentova Port Monitor"
    "Property|Manufacturer${tab}Velmora"
    "Property|ProductVersion${tab}3\.0\.0\.0"
    "Property|UpgradeCode${tab}\{ABE3596C-6CB0-45C0-98B9-705003E98A0E\}"
    "Property|ALLUSERS${tab}1"
    "Property|REINSTALLMODE${tab}amus"
    "Property|MsiHiddenProperties${tab}RollbackUnregisterMonitor"
    "Property|QrxRemovalRefused${tab}The Prentova Port Monitor cannot be removed while printers print to its ports: \[1\]\. .*Nothing was removed\."
    "Directory|VendorFolder${tab}${program_files}${tab}Velmora"
    "Directory|INSTALLDIR${tab}VendorFolder${tab}Prentova Port Monitor"
    "Directory|HelpFolder${tab}INSTALLDIR${tab}Help"
    "Component|HelpFolder${tab}\{[0-9A-F-]{36}\}${tab}HelpFolder${tab}${bits}${tab}${tab}"
    "CreateFolder|VendorFolder${tab}VendorFolder"
    "CreateFolder|INSTALLDIR${tab}InstallFolder"
    "CreateFolder|HelpFolder${tab}HelpFolder"
    "Component|VendorKey${tab}\{[0-9A-F-]{36}\}${tab}TARGETDIR${tab}$((bits + 4))${tab}${tab}reg[0-9A-F]+"
    "Registry|reg[0-9A-F]+${tab}2${tab}SOFTWARE\\\\Velmora\\\\Prentova Port Monitor${tab}INSTALLDIR${tab}\[INSTALLDIR\]${tab}VendorKey"
    "Registry|reg[0-9A-F]+${tab}2${tab}${event_key} Server${tab}EventMessageFile${tab}#%%SystemRoot%\\\\System32\\\\QRX_EVENT_RU1033RI\.DLL${tab}ServerEventSource"
    "Registry|reg[0-9A-F]+${tab}2${tab}${event_key} Server${tab}TypesSupported${tab}#7${tab}ServerEventSource"
    "Registry|reg[0-9A-F]+${tab}2${tab}${event_key} UI${tab}EventMessageFile${tab}#%%SystemRoot%\\\\System32\\\\QRX_EVENT_RU1033RI\.DLL${tab}UIEventSource"
    "Registry|reg[0-9A-F]+${tab}2${tab}${event_key} UI${tab}TypesSupported${tab}#7${tab}UIEventSource"
    "CustomAction|CheckRemoval${tab}1${tab}SetupActions${tab}CheckRemoval${tab}"
    "CustomAction|SaveMonitorForRollback${tab}1${tab}SetupActions${tab}SaveMonitorForRollback${tab}"
    "CustomAction|StartSpooler${tab}3073${tab}SetupActions${tab}StartSpooler${tab}"
    "CustomAction|RollbackUnregisterMonitor${tab}11521${tab}SetupActions${tab}RollbackUnregisterMonitor${tab}"
    "CustomAction|UnregisterMonitor${tab}3073${tab}SetupActions${tab}UnregisterMonitor${tab}"
    "CustomAction|RollbackRegisterMonitor${tab}3329${tab}SetupActions${tab}RollbackRegisterMonitor${tab}"
    "CustomAction|RegisterMonitor${tab}3073${tab}SetupActions${tab}RegisterMonitor${tab}"
    "InstallExecuteSequence|CheckRemoval${tab}REMOVE~=\"ALL\"${tab}[0-9]+"
    "InstallExecuteSequence|SaveMonitorForRollback${tab}REMOVE~=\"ALL\" AND NOT QrxKeepMonitor${tab}[0-9]+"
    "InstallExecuteSequence|RollbackUnregisterMonitor${tab}REMOVE~=\"ALL\" AND NOT QrxKeepMonitor${tab}[0-9]+"
    "InstallExecuteSequence|UnregisterMonitor${tab}REMOVE~=\"ALL\" AND NOT QrxKeepMonitor${tab}[0-9]+"
    "InstallExecuteSequence|StartSpooler${tab}NOT REMOVE~=\"ALL\"${tab}[0-9]+"
    "InstallExecuteSequence|RollbackRegisterMonitor${tab}NOT REMOVE~=\"ALL\" AND NOT QRXMONITORREGISTERED${tab}[0-9]+"
    "InstallExecuteSequence|RegisterMonitor${tab}NOT REMOVE~=\"ALL\"${tab}[0-9]+"
    "AppSearch|QRXMONITORREGISTERED${tab}MonitorDriver"
    "RegLocator|MonitorDriver${tab}2${tab}SYSTEM\\\\CurrentControlSet\\\\Control\\\\Print\\\\Monitors\\\\Prentova Port Monitor${tab}Driver${tab}${search}"
    "InstallExecuteSequence|RemoveExistingProducts${tab}${tab}[0-9]+"
    "LaunchCondition|NOT WIX_DOWNGRADE_DETECTED${tab}A newer version of the Prentova Port Monitor is installed already\."
    "Upgrade|\{ABE3596C-6CB0-45C0-98B9-705003E98A0E\}${tab}${tab}3\.0\.0\.0${tab}${tab}513${tab}${tab}WIX_UPGRADE_DETECTED"
    "Upgrade|\{ABE3596C-6CB0-45C0-98B9-705003E98A0E\}${tab}3\.0\.0\.0${tab}${tab}${tab}2${tab}${tab}WIX_DOWNGRADE_DETECTED"
  )
  if [ "$arch" = x86 ]; then
    expected+=("LaunchCondition|NOT VersionNT64${tab}This package is for 32-bit Windows, .* install the x64 package, PrentovaPortMonitor-3\.0\.0\.0-x64\.msi\.")
  fi
  local entry file name directory
  for entry in "$@"; do
    file=${entry#*=} name=$(basename "$file")
    name=${name//./\\.}
    directory=$system_folder
    [ "${entry%%=*}" = HELP ] && directory=HelpFolder
    expected+=("File|${name}${tab}[A-Za-z0-9_]+${tab}${name}${tab}$(stat -c %s "$file")${tab}.*"
      "Component|[A-Za-z0-9_]+${tab}\{[0-9A-F-]{36}\}${tab}${directory}${tab}${bits}${tab}${tab}${name}")
  done
  local table row
  for entry in "${expected[@]}"; do
    table=${entry%%|*} row=${entry#*|}
    check "$table has a row '$row'" has_line "$row" < <(msiinfo export "$package" "$table")
  done
  [ "$arch" = x64 ] && check "the x64 package has no 32-bit condition" \
    not has_text VersionNT64 < <(msiinfo export "$package" LaunchCondition)
  check "the package's template is $template" has_line "Template:[[:space:]]+${template}" < <(msiinfo suminfo "$package")

  # An action whose data MsiHiddenProperties keeps out of the log has the
  # hide-target bit (8192), in the tables as msibuild rewrote them: without
  # it Windows Installer logs a deferred action's data all the same.
  local built hidden action type
  for built in "$package" "$rebuilt"; do
    hidden=$(package_property "$built" MsiHiddenProperties)
    check "$(basename "$built") hides some action's data" test -n "$hidden"
    for action in ${hidden//;/ }; do
      type=$(msiinfo export "$built" CustomAction | tr -d '\r' | awk -F'\t' -v a="$action" '$1 == a { print $2 }')
      check "$(basename "$built"): $action (type ${type:-none}) has the hide-target bit" \
        test $((${type:-0} & 8192)) -ne 0
    done
  done

  # Another build of the same version is another product of the same family.
  local property
  for property in ProductCode UpgradeCode ProductVersion; do
    check "another build has a $property" test -n "$(package_property "$rebuilt" $property)"
  done
  check "another build has another product code" \
    test "$(package_property "$package" ProductCode)" != "$(package_property "$rebuilt" ProductCode)"
  for property in UpgradeCode ProductVersion; do
    check "another build has the same $property" \
      test "$(package_property "$package" $property)" = "$(package_property "$rebuilt" $property)"
  done

  # The order of the sequence: each pair is "earlier later". A rollback
  # action comes before its partner; the install's after the files, so that a
  # rollback removes the registration before it takes the files away.
  local order=(
    "AppSearch InstallInitialize"
    "CheckRemoval InstallInitialize"
    "InstallInitialize StartSpooler"
    "StartSpooler ProcessComponents"
    "StartSpooler RemoveRegistryValues"
    "StartSpooler RemoveFiles"
    "StartSpooler InstallFiles"
    "InstallInitialize SaveMonitorForRollback"
    "SaveMonitorForRollback RollbackUnregisterMonitor"
    "RollbackUnregisterMonitor UnregisterMonitor"
    "InstallInitialize UnregisterMonitor"
    "UnregisterMonitor RemoveRegistryValues"
    "UnregisterMonitor RemoveFiles"
    "InstallFiles RollbackRegisterMonitor"
    "WriteRegistryValues RollbackRegisterMonitor"
    "RollbackRegisterMonitor RegisterMonitor"
    "RegisterMonitor InstallFinalize"
    "InstallFinalize RemoveExistingProducts"
  )
  local sequence pair first second
  sequence=$(msiinfo export "$package" InstallExecuteSequence | tr -d '\r')
  for pair in "${order[@]}"; do
    read -r first second <<<"$pair"
    check "$first comes before $second" test \
      "$(awk -F'\t' -v a="$first" '$1 == a { print $3 }' <<<"$sequence")" -lt \
      "$(awk -F'\t' -v a="$second" '$1 == a { print $3 }' <<<"$sequence")"
  done

  # What the package holds is what the build made.
  local extracted
  extracted=$(mktemp -d)
  msiextract -C "$extracted" "$package" >/dev/null
  for entry in "$@"; do
    file=${entry#*=} name=$(basename "$file")
    check "the package holds $name as built" cmp -s "$file" "$(find "$extracted" -name "$name" | head -n 1)"
  done
  msiinfo extract "$package" Binary.SetupActions >"$extracted/actions.dll"
  check "the package holds the setup actions as built" cmp -s "$actions" "$extracted/actions.dll"
  rm -rf "$extracted"
}

# --- Wine ---------------------------------------------------------------------

# A prefix of its own, made afresh (the wineserver of an earlier run's stopped
# first), and stopped again when the script ends.
stop_prefix() { "$root/tools/wine-prefix.sh" "$WINEPREFIX" "$WINEARCH" stop; }
fresh_prefix() {
  export WINEPREFIX=$1 WINEARCH=$2 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LANG=C LC_ALL=C
  [ -d "$WINEPREFIX" ] && stop_prefix
  rm -rf "$WINEPREFIX"
  timeout 300 "$root/tools/wine-prefix.sh" "$WINEPREFIX" "$WINEARCH"
}

# run_msiexec ACTION PACKAGE LOG: a silent run with a verbose log; msiexec's exit code in $status.
run_msiexec() {
  timeout 300 wine msiexec "$1" "$(winpath "$2")" /qn /l*v "$(winpath "$3")" </dev/null >/dev/null 2>&1
  status=$?
}

# Debian's "wine reg" is the 32-bit reg.exe even in a 64-bit prefix: ask for the 64-bit view there.
reg_view() { [ "$WINEARCH" = win64 ] && echo /reg:64; }
reg_query() { timeout 60 wine reg query "$@" $(reg_view) </dev/null 2>/dev/null | tr -d '\r'; }
reg_absent() { ! timeout 60 wine reg query "$1" $(reg_view) </dev/null >/dev/null 2>&1; }

lifecycle() {
  local package=$1 rebuilt=$2 newer=$3 prefix=$4 arch=$5 tools=$6
  shift 6
  local shipped=("$@")
  local work=$prefix.work
  rm -rf "$work" && mkdir -p "$work/spool"
  fresh_prefix "$prefix" "$arch" || { echo "FAILED: making the prefix $prefix"; failed=$((failed + 1)); return; }
  server_pid=
  trap '[ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null; stop_prefix' EXIT
  # installed_at SHIPPED: where the shipped file lands in the prefix.
  installed_at() {
    local name
    name=$(basename "${1#*=}")
    case ${1%%=*} in
      SYSTEM) echo "$WINEPREFIX/drive_c/windows/system32/$name" ;;
      HELP) echo "$WINEPREFIX/drive_c/Program Files/Velmora/Prentova Port Monitor/Help/$name" ;;
    esac
  }
  local installdir='C:\Program Files\Velmora\Prentova Port Monitor\'
  local event_key='HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\Prentova Port Monitor'
  local monitor_key='HKLM\System\CurrentControlSet\Control\Print\Monitors\Prentova Port Monitor'
  local vendor_key='HKLM\SOFTWARE\Velmora\Prentova Port Monitor'
  local uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
  tool() { timeout 120 wine "$tools/$1.exe" "${@:2}" </dev/null 2>&1 | tr -d '\r'; }
  # The administrator's command as shipped (the build's copy of the installed
  # file: the same bytes, checked below), against the installed monitor.
  local entry qrxport_exe=
  for entry in "${shipped[@]}"; do [ "$(basename "${entry#*=}")" = qrxport.exe ] && qrxport_exe=${entry#*=}; done
  qrxport() { timeout 120 wine "$qrxport_exe" "$@" </dev/null 2>&1 | tr -d '\r'; }
  qrxport_succeeds() { timeout 120 wine "$qrxport_exe" "$@" </dev/null >/dev/null 2>&1; }
  monitor_listed() { tool qrx-list-ports | has_line "  Prentova Port Monitor +QRXServerDll\.dll"; }
  port_listed() { tool qrx-list-ports | has_line "  QRXPKG1: +Prentova Port Monitor .*"; }
  setting_is() { qrxport show 'QRXPKG1:' | has_line "$1: +$2"; }
  files_installed() {
    local entry
    for entry in "${shipped[@]}"; do cmp -s "${entry#*=}" "$(installed_at "$entry")" || return 1; done
  }
  no_file_left() {
    local entry
    for entry in "${shipped[@]}"; do [ ! -e "$(installed_at "$entry")" ] || return 1; done
  }
  # print NAME: a document through the printer on the port; the server stores it byte for byte.
  print_document() {
    head -c 100000 /dev/urandom >"$work/$1.bin"
    tool qrx-print "Package Test" 'QRXPKG1:' "$(winpath "$work/$1.bin")" "$1" >/dev/null || return 1
    local data
    for _ in $(seq 1 100); do
      for data in "$work"/spool/job-*/df*; do cmp -s "$work/$1.bin" "$data" 2>/dev/null && return 0; done
      sleep 0.1
    done
    return 1
  }

  echo "== install $(basename "$package")"
  check "the fresh prefix knows no such monitor" not monitor_listed
  run_msiexec /i "$package" "$work/install.log"
  check "msiexec /i /qn succeeds (exit $status)" test "$status" -eq 0 || show_log "$work/install.log"
  # Wine's spoolsv ends on its own right after it starts, and the prefix's
  # first programs may start it: the action finds it stopped (and starts it)
  # or running, by timing. Either way it asked Wine's service manager.
  spooler_made_sure() { has_line ".*(started the Print Spooler service|the Print Spooler service runs).*" <"$work/install.log"; }
  check "it made sure the Print Spooler service runs" spooler_made_sure || show_log "$work/install.log"
  check "the shipped files are in the system directory" files_installed
  check "INSTALLDIR is the installation directory with a backslash" \
    has_line "    INSTALLDIR    REG_SZ    ${installdir//\\/\\\\}" < <(reg_query "$vendor_key" /v INSTALLDIR)
  check "the help folder exists" test -d "$WINEPREFIX/drive_c/Program Files/Velmora/Prentova Port Monitor/Help"
  local source
  for source in Server UI; do
    check "the $source event source names the message file" \
      has_line '    EventMessageFile    REG_EXPAND_SZ    %SystemRoot%\\System32\\QRX_EVENT_RU1033RI\.DLL' \
      < <(reg_query "$event_key $source" /v EventMessageFile)
    check "the $source event source supports types 7" \
      has_line '    TypesSupported    REG_DWORD    0x7' < <(reg_query "$event_key $source" /v TypesSupported)
  done
  check "EnumMonitorsW lists the monitor with its DLL" monitor_listed

  echo "== a port, a printer and a document"
  printf '%s\n' 'PKGQ|Test room|Package test queue' >"$work/printers.txt"
  timeout 300 wine "$tools/qrx-prentova-server.exe" --listen 127.0.0.1 --port 0 --jobs 2 --idle-timeout 240 \
    --spool "$(winpath "$work/spool")" --printers "$(winpath "$work/printers.txt")" </dev/null >"$work/server.log" 2>&1 &
  server_pid=$!
  local port=
  for _ in $(seq 1 200); do
    port=$(sed -n 's/^.*listening on 127\.0\.0\.1:\([0-9]*\).*$/\1/p' "$work/server.log" | tr -d '\r' | head -n 1)
    [ -n "$port" ] && break
    sleep 0.1
  done
  check "the reference server listens" test -n "$port"
  check "qrxport adds the port with its settings" qrxport_succeeds add 'QRXPKG1:' --host 127.0.0.1 --port "$port" \
    --queue PKGQ --unattended --name "Package Tester"
  check "the spooler lists the port under the monitor" port_listed
  check "the port's server offers its queue" qrxport_succeeds test 'QRXPKG1:'
  check "a document prints to the reference server" print_document first

  echo "== removal refused while the printer uses the port"
  run_msiexec /x "$package" "$work/refused.log"
  check "msiexec /x /qn fails (exit $status)" test "$status" -ne 0 || show_log "$work/refused.log"
  check "the log says which printer holds which port" \
    has_text "cannot be removed while printers print to its ports: Package Test (QRXPKG1:)" <"$work/refused.log" ||
    show_log "$work/refused.log"
  check "the shipped files are still installed" files_installed
  check "the monitor is still registered" monitor_listed
  check "the port keeps its host" setting_is Host 127.0.0.1
  check "the vendor key is still there" has_text "$installdir" < <(reg_query "$vendor_key" /v INSTALLDIR)
  check "a second document prints" print_document second

  products_listed() { reg_query "$uninstall_key" /s | grep -c '^    DisplayName    REG_SZ    Prentova Port Monitor$'; }
  # installs_over NEW OLD VERSION LOG: msiexec /i of the package NEW, with the
  # product of the package OLD installed (the same package: under Wine a
  # repair; Windows only opens maintenance and repairs with msiexec /fa,
  # which Wine's msiexec cannot do with a package or a product code), leaves
  # NEW's product alone installed, its files in place, the monitor registered
  # and the port with every setting it had.
  installs_over() {
    local new=$1 old=$2 version=$3 log=$4 new_code old_code
    new_code=$(package_property "$new" ProductCode) old_code=$(package_property "$old" ProductCode)
    run_msiexec /i "$new" "$log"
    check "msiexec /i /qn succeeds (exit $status)" test "$status" -eq 0 || show_log "$log"
    [ "$old_code" = "$new_code" ] || check "the product it replaces is gone" reg_absent "$uninstall_key\\$old_code"
    check "its product is installed" has_line "    DisplayVersion    REG_SZ    ${version//./\\.}" \
      < <(reg_query "$uninstall_key\\$new_code" /v DisplayVersion)
    check "one product is listed" test "$(products_listed)" -eq 1
    check "the shipped files are installed" files_installed
    check "the monitor is registered" monitor_listed
    check "the port is still listed" port_listed
    check "the port keeps its host" setting_is Host 127.0.0.1
    check "the port keeps its port number" setting_is "LPD port" "$port"
    check "the port keeps its queue" setting_is Printer PKGQ
    check "the port keeps its separator-sheet name" setting_is Name "Package Tester"
  }

  echo "== another build of the same version, $(basename "$rebuilt"), over the first"
  installs_over "$rebuilt" "$package" 3.0.0.0 "$work/rebuild.log"
  echo "== the same package again: a repair under Wine"
  installs_over "$rebuilt" "$rebuilt" 3.0.0.0 "$work/repair.log"
  echo "== upgrade to $(basename "$newer")"
  installs_over "$newer" "$rebuilt" 3.0.1.0 "$work/upgrade.log"

  echo "== removal"
  check "the printer is deleted" tool qrx-delete-printer "Package Test"
  run_msiexec /x "$newer" "$work/remove.log"
  check "msiexec /x /qn succeeds (exit $status)" test "$status" -eq 0 || show_log "$work/remove.log"
  check "no shipped file is left" no_file_left
  check "EnumMonitorsW no longer lists the monitor" not monitor_listed
  check "the monitor's key and its ports are gone" reg_absent "$monitor_key"
  check "the vendor key is gone" reg_absent "$vendor_key"
  check "the Server event source is gone" reg_absent "$event_key Server"
  check "the UI event source is gone" reg_absent "$event_key UI"
  check "the installation directory and its vendor folder are gone" test ! -e "$WINEPREFIX/drive_c/Program Files/Velmora"
  check "the product is gone" reg_absent "$uninstall_key\\$(package_property "$newer" ProductCode)"
}

refused_on_64bit() {
  local package=$1 prefix=$2
  local work=$prefix.work
  rm -rf "$work" && mkdir -p "$work"
  fresh_prefix "$prefix" win64 || { echo "FAILED: making the prefix $prefix"; failed=$((failed + 1)); return; }
  trap stop_prefix EXIT
  run_msiexec /i "$package" "$work/install.log"
  check "msiexec /i /qn fails (exit $status)" test "$status" -ne 0 || show_log "$work/install.log"
  # Wine shows a launch condition's message only in a message box, never in
  # the log; the tables test checks the text.
  check "the launch conditions stopped it" \
    has_line 'Action ended [0-9:]+: LaunchConditions\. Return value [03]\.' <"$work/install.log" ||
    show_log "$work/install.log"
  check "no action after the launch conditions ran" not has_text 'Action start' < <(sed -n '/LaunchConditions\. Return/,$p' "$work/install.log")
  check "nothing was installed" test ! -e "$WINEPREFIX/drive_c/windows/syswow64/QRXServerDll.dll" -a \
    ! -e "$WINEPREFIX/drive_c/windows/system32/QRXServerDll.dll"
}

case $mode in
  tables) tables "$@" ;;
  lifecycle) lifecycle "$@" ;;
  refused-on-64bit) refused_on_64bit "$@" ;;
  *) echo "unknown mode $mode" >&2; exit 2 ;;
esac
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
