#!/usr/bin/env bash
# Tests of the build's signatures; the last line counts the checks.
#   signing-tests.sh SOURCE_DIR TOOLCHAIN_FILE UNSIGNED_BUILD WORK UNSIGNED_PACKAGE SETUP_ACTIONS_DLL SHIPPED...
# Makes a throwaway root, a code-signing and a timestamping certificate with
# openssl, starts a stand-in timestamp server (timestamp-server.py), builds
# the packages in WORK/build with that certificate and server (taking the
# objects of UNSIGNED_BUILD's identical compiles, see reuse-compiled.py), and verifies
# every shipped PE file, the setup actions, the package and the files inside
# it against that root with osslsigncode, each with its timestamp; a file
# changed after signing must fail. The build
# that runs this test (made without a certificate) must have no signatures:
# its package, its setup actions and its shipped files (SHIPPED as
# FOLDER=PATH, as the package tests take them).
set -uo pipefail
source_dir=$1 toolchain=$2 unsigned_build=$3 work=$4 unsigned_package=$5 unsigned_actions=$6
shift 6
shipped=("$@")

passed=0 failed=0
check() { if "${@:2}"; then passed=$((passed + 1)); else failed=$((failed + 1)) && echo "FAILED: $1"; fi; }
not() { ! "$@"; }

verifies() {
  osslsigncode verify -CAfile "$work/certificates/root.crt" -TSA-CAfile "$work/certificates/root.crt" -in "$1" \
    >"$work/verify.log" 2>&1
}
signed_by_throwaway() {
  verifies "$1" && grep -q "Subject: /CN=Prentova Throwaway Code Signing" "$work/verify.log" &&
    grep -q "Timestamp Server Signature verification: ok" "$work/verify.log"
}
# Verification fails because the file's digest is no longer the signed one.
digest_mismatch() { ! verifies "$1" && grep -q "MISMATCH" "$work/verify.log"; }
has_no_signature() {
  ! osslsigncode extract-signature -in "$1" -out "$work/extracted.sig" >/dev/null 2>&1
}
# The shipped files that are programs or libraries.
pe_files() {
  local entry
  for entry in "${shipped[@]}"; do
    case ${entry,,} in *.dll | *.exe) echo "${entry#*=}" ;; esac
  done
}

rm -rf "$work" && mkdir -p "$work/certificates"
certificates=$work/certificates
password=$(openssl rand -hex 16)
# issue NAME SUBJECT KEY_USAGE EXTENDED_KEY_USAGE: NAME.key and NAME.crt, a
# certificate of the throwaway root for that use.
issue() {
  openssl req -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.csr" -subj "/CN=$2" &&
    printf '%s\n' "basicConstraints=critical,CA:FALSE" "keyUsage=critical,$3" "extendedKeyUsage=$4" >"$1.ext" &&
    openssl x509 -req -in "$1.csr" -CA root.crt -CAkey root.key -CAcreateserial -days 2 -extfile "$1.ext" \
      -out "$1.crt"
}
(
  cd "$certificates" &&
    openssl req -x509 -newkey rsa:2048 -nodes -keyout root.key -out root.crt -days 2 \
      -subj "/CN=Prentova Throwaway Test Root" -addext "basicConstraints=critical,CA:TRUE" \
      -addext "keyUsage=critical,keyCertSign,cRLSign" &&
    issue signing "Prentova Throwaway Code Signing" digitalSignature codeSigning &&
    openssl pkcs12 -export -inkey signing.key -in signing.crt -certfile root.crt -out signing.pfx \
      -passout "pass:$password" &&
    issue timestamping "Prentova Throwaway Timestamps" digitalSignature,nonRepudiation critical,timeStamping &&
    printf '%s\n' "[ tsa ]" "default_tsa = throwaway" "[ throwaway ]" "serial = $certificates/timestamp.serial" \
      "crypto_device = builtin" "signer_digest = sha256" "default_policy = 1.2.3.4.1" \
      "digests = sha256, sha384, sha512, sha1" "accuracy = secs:1" "ess_cert_id_alg = sha256" >timestamping.cnf
) >"$work/certificates.log" 2>&1
check "openssl makes the throwaway certificates" test -s "$certificates/timestamping.cnf"

timestamp_server_pid=
trap '[ -n "$timestamp_server_pid" ] && kill "$timestamp_server_pid" 2>/dev/null' EXIT
coproc timestamp_server {
  exec python3 "$(dirname "${BASH_SOURCE[0]}")/timestamp-server.py" "$certificates/timestamping.cnf" \
    "$certificates/timestamping.key" "$certificates/timestamping.crt" 2>"$work/timestamp-server.log"
}
timestamp_server_pid=$timestamp_server_PID
read -r -t 20 timestamp_port <&"${timestamp_server[0]}"
check "the stand-in timestamp server listens" test -n "${timestamp_port:-}"

echo "== a signed build"
build=$work/build
start=$SECONDS
cmake -G Ninja -S "$source_dir" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DQRX_BUILD_TESTS=OFF \
  -DCMAKE_CXX_COMPILER_LAUNCHER="$source_dir/tests/packaging/reuse-compiled.py;$unsigned_build" \
  -DQRX_SIGN_PFX="$certificates/signing.pfx" -DQRX_SIGN_TIMESTAMP_URL="http://127.0.0.1:${timestamp_port:-1}" \
  >"$work/configure.log" 2>&1
check "the signed build configures" test $? -eq 0
# At a low priority: the tests that run beside it have bounded waits.
QRX_SIGN_PASSWORD=$password nice -n 19 cmake --build "$build" --target qrx_package -j 2 >"$work/build.log" 2>&1
check "the signed build builds its package" test $? -eq 0
echo "built in $((SECONDS - start)) s, $(grep -c '^reused ' "$work/build.log") of its compiles reused"
check "the password is stored nowhere in the build tree" not grep -rqF "$password" "$build"

signed_package=$(find "$build/packages" -name '*.msi' | head -n 1)
check "the signed build's package verifies against the throwaway root" signed_by_throwaway "$signed_package"
check "the signed build's setup actions verify" \
  signed_by_throwaway "$build/packaging/actions/$(basename "$unsigned_actions")"
extracted=$work/extracted
mkdir -p "$extracted" && msiextract -C "$extracted" "$signed_package" >/dev/null
msiinfo extract "$signed_package" Binary.SetupActions >"$extracted/actions.dll"
check "the setup actions inside the package verify" signed_by_throwaway "$extracted/actions.dll"
while read -r file; do
  name=$(basename "$file")
  check "$name of the signed build verifies" signed_by_throwaway "$build/deliverables/$name"
  check "$name inside the signed package verifies" signed_by_throwaway "$(find "$extracted" -name "$name" | head -n 1)"
done < <(pe_files)

echo "== a file changed after signing"
tampered=$work/tampered
mkdir -p "$tampered"
library=$(pe_files | head -n 1)
cp "$build/deliverables/$(basename "$library")" "$tampered/library"
cp "$signed_package" "$tampered/package.msi"
# One byte in the middle of each file, where code or the package's streams are.
for file in "$tampered/library" "$tampered/package.msi"; do
  offset=$(($(stat -c %s "$file") / 2))
  byte=$(od -An -tu1 -j "$offset" -N1 "$file" | tr -d ' ')
  printf "$(printf '\\%03o' $(((byte + 1) % 256)))" | dd of="$file" bs=1 seek="$offset" conv=notrunc status=none
  check "$(basename "$file") changed after signing fails verification" digest_mismatch "$file"
done

echo "== signing with a wrong password"
cp "$build/deliverables/$(basename "$library")" "$tampered/unsigned.dll"
osslsigncode remove-signature -in "$tampered/unsigned.dll" -out "$tampered/wrong.dll" >/dev/null 2>&1
QRX_SIGN_PASSWORD=wrong "$source_dir/tools/sign.sh" --pfx "$certificates/signing.pfx" "$tampered/wrong.dll" 2>/dev/null
check "sign.sh fails" test $? -eq 1
check "the file it could not sign is deleted" test ! -e "$tampered/wrong.dll"

echo "== the build without a certificate"
check "its package has no signature" has_no_signature "$unsigned_package"
check "its setup actions have no signature" has_no_signature "$unsigned_actions"
while read -r file; do
  check "its $(basename "$file") has no signature" has_no_signature "$file"
done < <(pe_files)

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
