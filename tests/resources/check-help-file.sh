#!/usr/bin/env bash
# The built help file, read back with chmls: each dialog's id maps to its
# topic, the topic is in the file, and the messages topic explains every
# message of the English string table and both event ids.
#   check-help-file.sh <QRXMH409.chm> <resources folder>
set -euo pipefail
help=$1 resources=$2
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

[ -s "$help" ] || { echo "FAILED: no help file $help"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$help" "$work/QRXMH409.chm"
cd "$work"
# chmls writes the context map beside the help file, as QRXMH409.ali.
chmls extractalias QRXMH409.chm >/dev/null 2>&1
[ -s QRXMH409.ali ] || { echo "FAILED: no context map in the help file"; exit 1; }
listing=$(chmls -n list QRXMH409.chm 2>/dev/null)

topic_text() { chmls extract QRXMH409.chm "$1" topic.htm >/dev/null 2>&1 && cat topic.htm; }

# dialog id (from the resource ids) and the title of its topic
while read -r dialog title; do
  id=$(sed -n "s/^#define $dialog \([0-9]*\)$/\1/p" "$resources/ResourceIds.h")
  [ -n "$id" ] || { fail "$dialog is not in ResourceIds.h"; continue; }
  topic=$(sed -n "s/^helpid$id=//p" QRXMH409.ali)
  if [ -z "$topic" ]; then fail "context id $id ($dialog) is not mapped"; continue; fi
  grep -qx "$topic" <<<"$listing" || { fail "context id $id maps to $topic, which the file does not hold"; continue; }
  grep -q "<title>$title</title>" <<<"$(topic_text "$topic")" ||
    fail "context id $id maps to $topic, whose title is not \"$title\""
  echo "context id $id ($dialog): $topic \"$title\""
done <<'TABLE'
IDD_CONFIGURE_PORT Configuring a port
IDD_OPTIONS Port options
IDD_ADD_PORT Adding a port
TABLE
[ "$(wc -l < QRXMH409.ali)" -eq 3 ] || fail "the context map holds other ids: $(tr '\n' ' ' < QRXMH409.ali)"

messages=$(topic_text /messages.htm)
identifiers=$(grep -o '"[A-Z]AV50[0-9][0-9][IWE] ' "$resources/QRXPM1033U.rc" | tr -d '" ')
[ -n "$identifiers" ] || fail "no message identifiers found in QRXPM1033U.rc"
for identifier in $identifiers 0xCFFF0003 0xCFFE0001; do
  grep -q "$identifier" <<<"$messages" || fail "the messages topic does not explain $identifier"
done
echo "messages topic: $(wc -w <<<"$identifiers") message identifiers and 2 event ids checked"

for topic in /overview.htm /troubleshooting.htm; do
  grep -qx "$topic" <<<"$listing" || fail "no topic $topic"
done
[ $failures -eq 0 ]
