#!/usr/bin/env bash
# Runs a Windows program of the build under Wine: the emulator through which
# CTest runs the test programs and tools.
# Now and then Wine does not start the program at all: its loader hands the
# program to start.exe, whose ShellExecuteEx fails too, and nothing but
# start.exe's two lines is printed. The program did not run, so it is started
# once more, and the log says so. Whatever the program itself prints or
# returns is passed on unchanged.
set -u
output=$(mktemp)
trap 'rm -f "$output"' EXIT

not_started() {
  grep -q '^ShellExecuteEx failed' "$output" &&
    ! grep -qv -e '^Application could not be started' -e '^ShellExecuteEx failed' -e '^[[:space:]]*$' "$output"
}

for attempt in 1 2; do
  wine "$@" 2>&1 | tee "$output"
  status=${PIPESTATUS[0]}
  if [ "$status" -eq 0 ] || [ "$attempt" -eq 2 ] || ! not_started; then
    exit "$status"
  fi
  echo "wine-run.sh: Wine did not start $1 (exit $status); starting it once more"
done
