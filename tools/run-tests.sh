#!/usr/bin/env bash
# The whole test run on a fresh Debian machine: installs what is missing
# (what the tests need while the x64 build compiles), builds the x64 and the
# x86 deliverables and tests, and runs each build's tests under Wine with
# CTest, in private prefixes of that build's architecture inside its build
# tree (64-bit for x64, 32-bit for x86), with
# an Xvfb display of its own for anything with windows. The x64 tests run
# while the x86 build compiles (at a lower priority, so that the tests'
# bounded waits are not starved), and the x86 tests follow it, with the x64
# signature test beside them. Both suites
# run even when one fails; the run fails when either does.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${QRX_BUILD_DIR:-$root/build}
jobs=$(nproc)
archs=(x64 x86)
run_start=$SECONDS

wine_arch() {
  case $1 in
    x64) echo win64 ;;
    x86) echo win32 ;;
  esac
}

# The set-up installs the build's tools first and says so; the x64 build
# starts then, while the set-up goes on with what the tests need.
setup_state=$(mktemp -d)
build_tools_ready=$setup_state/build-tools-ready setup_end=$setup_state/end
(
  QRX_SETUP_BUILD_TOOLS_READY=$build_tools_ready bash "$root/tools/setup.sh"
  status=$?
  echo "$SECONDS" >"$setup_end"
  exit $status
) &
setup=$!
while [ ! -e "$build_tools_ready" ] && kill -0 "$setup" 2>/dev/null; do sleep 0.2; done
if [ ! -e "$build_tools_ready" ]; then
  wait "$setup" || true
  echo "the set-up failed" >&2
  exit 1
fi
# finish_setup: waits for the rest of the set-up.
finish_setup() {
  wait "$setup" || { echo "the set-up failed" >&2; exit 1; }
  setup_seconds=$(($(cat "$setup_end") - run_start))
}

declare -A build_seconds displays xvfb_pids
# build_arch ARCH [COMMAND PREFIX...]: configures and builds one architecture.
build_arch() {
  local arch=$1 start=$SECONDS
  shift
  echo "== building $arch =="
  # A new tree is made for Ninja, which schedules the compiles of all targets
  # as one graph; a tree made before keeps the generator it was made with.
  local generator=()
  [ -f "$build/$arch/CMakeCache.txt" ] || generator=(-G Ninja)
  cmake "${generator[@]}" -S "$root" -B "$build/$arch" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" \
    -DQRX_BUILD_TESTS=ON >/dev/null || return 1
  "$@" cmake --build "$build/$arch" -j "$jobs" || return 1
  build_seconds[$arch]=$((SECONDS - start))
}

source "$root/tools/display.sh"
# The Wine prefixes of a build's tests: those with windows run in the first,
# the others in the second.
prefixes=(wineprefix wineprefix-windowless)
cleanup() {
  local prefix
  rm -rf "$setup_state"
  for arch in "${archs[@]}"; do
    [ -n "${xvfb_pids[$arch]:-}" ] && kill "${xvfb_pids[$arch]}" 2>/dev/null || true
    for prefix in "${prefixes[@]}"; do
      "$root/tools/wine-prefix.sh" "$build/$arch/$prefix" "$(wine_arch "$arch")" stop
    done
  done
}
trap cleanup EXIT

# An Xvfb display for each suite, so that one suite's windows never take the
# other's foreground.
start_displays() {
  for arch in "${archs[@]}"; do
    start_display
    displays[$arch]=$DISPLAY
    xvfb_pids[$arch]=$QRX_XVFB_PID
    QRX_XVFB_PID=
  done
}

x86_installed() { dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed"; }

# run_suite ARCH PART [CTEST OPTIONS...]: runs a part of one suite, its output
# into its log; the result is read from the log.
run_suite() {
  local arch=$1 part=$2 start=$SECONDS
  shift 2
  DISPLAY=${displays[$arch]} ctest --test-dir "$build/$arch" -j 4 --output-on-failure --timeout 600 "$@" \
    >"$build/$arch/ctest-$part.log" 2>&1 || true
  echo "$((SECONDS - start))" >"$build/$arch/ctest-$part.seconds"
}
# The signature test makes a build of its own: the x64 one waits until the x86
# build is done, and then fills the time the x86 tests spend waiting.
signatures='^package\.signatures$'

rm -f "$build"/*/ctest-*.log "$build"/*/ctest-*.seconds
build_arch x64
finish_setup
start_displays
echo "== x64 tests start; building x86 meanwhile =="
run_suite x64 main -E "$signatures" &
x64_suite=$!
# The x86 prefixes are made while the x86 build compiles, so that its suite
# does not begin with Wine's first start.
x86_prefix=
if x86_installed; then
  for prefix in "${prefixes[@]}"; do
    DISPLAY=${displays[x86]} nice -n 19 "$root/tools/wine-prefix.sh" "$build/x86/$prefix" win32 >/dev/null 2>&1
  done &
  x86_prefix=$!
fi
x86_built=1
build_arch x86 nice -n 19 || x86_built=0
[ -z "$x86_prefix" ] || wait "$x86_prefix" || true
run_suite x64 signatures -R "$signatures" &
x64_signatures=$!
if [ $x86_built -eq 1 ] && x86_installed; then
  echo "== x86 tests =="
  run_suite x86 main
fi
wait "$x64_suite" "$x64_signatures"

summary=()
failed=0
for arch in "${archs[@]}"; do
  echo "== $arch =="
  if [ "$arch" = x86 ] && [ $x86_built -eq 0 ]; then
    summary+=("$arch ($(wine_arch "$arch")): FAILED: the build failed")
    failed=1
    continue
  fi
  if [ "$arch" = x86 ] && ! x86_installed; then
    summary+=("$arch ($(wine_arch "$arch")): NOT RUN: wine32:i386 is not installed (see the set-up's warning); built in ${build_seconds[$arch]} s")
    continue
  fi
  tests=0 failures=0 seconds=0 outcome=passed
  for log in "$build/$arch"/ctest-*.log; do
    cat "$log"
    result=$(sed -n 's/^[0-9]*% tests passed, \([0-9]*\) tests failed out of \([0-9]*\)$/\1 \2/p' "$log")
    if [ -z "$result" ]; then
      outcome="FAILED: no result from ctest in $(basename "$log")"
      failed=1
      continue
    fi
    read -r part_failures part_tests <<<"$result"
    tests=$((tests + part_tests)) failures=$((failures + part_failures))
    seconds=$((seconds + $(cat "${log%.log}.seconds")))
  done
  if [ "$failures" -gt 0 ]; then
    outcome=FAILED
    failed=1
  fi
  summary+=("$arch ($(wine_arch "$arch")): $outcome ($tests tests, $failures failed; built in ${build_seconds[$arch]} s, tests ran for $seconds s in all)")
done

echo "== summary =="
printf '%s\n' "${summary[@]}"
echo "set-up ${setup_seconds} s; whole run $((SECONDS - run_start)) s"
exit $failed
