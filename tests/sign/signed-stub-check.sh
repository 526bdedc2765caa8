#!/usr/bin/env bash
# Signs a release build of the stub through its build options (ORV_SIGN_PKCS12, a password file, a
# time-stamp server) with a throw-away CA, then checks it with osslsigncode verify against that CA.
# The checks are shown able to fail: another CA, a tampered copy and the file without its signature
# do not verify; a wrong password and an unreachable time-stamp server fail the build and leave no
# executable; settings that cannot sign stop the configuration.
# Usage: signed-stub-check.sh SOURCE_DIR WORK_DIR
set -euo pipefail
src=$(cd "$1" && pwd)
work=$2
pki=$work/pki
build=$work/build
exe=$build/orvsetup.exe
rm -rf "$work"
mkdir -p "$pki"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

for tool in openssl osslsigncode python3 i686-w64-mingw32-g++-posix; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (bash scripts/install-deps.sh)"; exit 1; }
done

server_pid=
stop_server() {
  if [ -n "$server_pid" ]; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
    server_pid=
  fi
}
trap stop_server EXIT

# ---- Throw-away PKI: a CA, a code-signing certificate in a password-protected PKCS#12 file, a
# time-stamping certificate from the same CA, and an unrelated CA.
make_ca() {  # name common-name
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=$2" -keyout "$pki/$1.key" -out "$pki/$1.pem" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
}
make_leaf() {  # name common-name extended-key-usage issuing-ca
  openssl req -newkey rsa:2048 -nodes -subj "/CN=$2" -keyout "$pki/$1.key" -out "$pki/$1.csr" 2>/dev/null
  printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=critical,%s\n' "$3" \
    >"$pki/$1.ext"
  openssl x509 -req -in "$pki/$1.csr" -CA "$pki/$4.pem" -CAkey "$pki/$4.key" -CAcreateserial -days 2 \
    -extfile "$pki/$1.ext" -out "$pki/$1.pem" 2>/dev/null
}
make_ca ca "Orvandel Throw-away Test CA"
make_ca other "Unrelated Test CA"
make_leaf signer "Orvandel Throw-away Publisher" codeSigning ca
make_leaf tsa "Orvandel Throw-away Time-Stamp Authority" timeStamping ca
make_leaf renewed "Orvandel Renewed Publisher" codeSigning other
printf 'throw away %s\n' "$RANDOM$RANDOM" >"$pki/password.txt"
printf 'not the password\n' >"$pki/wrong-password.txt"
openssl pkcs12 -export -in "$pki/signer.pem" -inkey "$pki/signer.key" -out "$pki/signer.p12" \
  -passout "file:$pki/password.txt"

# ---- A local RFC 3161 time-stamp server on a free port.
cat >"$pki/tsa.cnf" <<CONF
[ tsa ]
default_tsa = tsa_config
[ tsa_config ]
serial = $pki/tsa.serial
signer_cert = $pki/tsa.pem
certs = $pki/ca.pem
signer_key = $pki/tsa.key
signer_digest = sha256
default_policy = 1.3.6.1.4.1.55555.1
digests = sha1, sha256, sha384, sha512
accuracy = secs:1
ess_cert_id_alg = sha256
CONF
python3 "$src/tests/sign/timestamp_server.py" "$pki/tsa.cnf" "$work/tsa.port" &
server_pid=$!
for _ in $(seq 100); do [ -s "$work/tsa.port" ] && break; sleep 0.1; done
[ -s "$work/tsa.port" ] || { echo "FAIL: the time-stamp server did not start"; exit 1; }
tsa_url=http://127.0.0.1:$(cat "$work/tsa.port")/

configure() {  # dir cmake-arguments...
  local dir=$1
  shift
  cmake -S "$src" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-i686.cmake" -DORV_BUILD_TESTS=OFF "$@"
}
build_stub() { cmake --build "$build" --target orvsetup -j2; }
verify() {  # file ca-file
  osslsigncode verify -CAfile "$2" -TSA-CAfile "$pki/ca.pem" -in "$1"
}

# ---- The signed build verifies, with a SHA-256 digest, the product's name and address and a time stamp.
sign_options=(-DORV_SIGN_PKCS12="$pki/signer.p12" -DORV_SIGN_PASSWORD_FILE="$pki/password.txt")
if ! configure "$build" "${sign_options[@]}" -DORV_SIGN_TIMESTAMP_URL="$tsa_url" >"$work/configure.log" 2>&1 ||
   ! build_stub >"$work/build.log" 2>&1; then
  cat "$work/configure.log" "$work/build.log"
  echo "FAIL: the signed build failed"
  exit 1
fi
if verify "$exe" "$pki/ca.pem" >"$work/verify.txt" 2>&1; then
  lacking=0
  for line in "Message digest algorithm  : SHA256" "Signature verification: ok" \
              "Text description: Orvandel Setup" "URL description: https://www.orvandel.com/" \
              "Timestamp Server Signature verification: ok" "Subject: /CN=Orvandel Throw-away Publisher"; do
    grep -qF "$line" "$work/verify.txt" || { fail "signed stub: the verification lacks '$line'"; lacking=1; }
  done
  [ "$lacking" -eq 0 ] && pass "the signed stub verifies against its CA, SHA-256, product name, address, time stamp"
else
  cat "$work/verify.txt"
  fail "the signed stub does not verify against its CA"
fi
[ -x "$exe" ] || fail "the signed stub lost its execute permission"

# ---- What must not verify.
cp "$exe" "$work/signed.exe"
cp "$exe" "$work/tampered.exe"
python3 - "$work/tampered.exe" <<'PY'
import sys
path = sys.argv[1]
data = bytearray(open(path, "rb").read())
data[0x1000] ^= 0xFF  # inside the code section
open(path, "wb").write(data)
PY
osslsigncode remove-signature -in "$work/signed.exe" -out "$work/unsigned.exe" >/dev/null 2>&1 ||
  fail "osslsigncode could not remove the signature"
refused=(
  "signed by the test CA, checked against another CA|$work/signed.exe|$pki/other.pem|"
  "one byte of the code changed after signing|$work/tampered.exe|$pki/ca.pem|MISMATCH"
  "the signature removed|$work/unsigned.exe|$pki/ca.pem|"
)
for case in "${refused[@]}"; do
  IFS='|' read -r what file ca reason <<<"$case"
  if verify "$file" "$ca" >"$work/refused.txt" 2>&1; then
    fail "$what: verified"
  elif [ -n "$reason" ] && ! grep -qF "$reason" "$work/refused.txt"; then
    fail "$what: refused without '$reason'"
  else
    pass "$what: refused"
  fi
done

# ---- Builds that cannot sign fail with osslsigncode's reason and leave no unsigned executable;
# every change of the settings relinks and signs again.
expect_build_failure() {  # what expected-text cmake-arguments...
  local what=$1 expected=$2
  shift 2
  configure "$build" "$@" >"$work/configure.log" 2>&1 || { fail "$what: configuration failed"; return; }
  if build_stub >"$work/build.log" 2>&1; then
    fail "$what: the build succeeded"
  elif ! grep -qF "$expected" "$work/build.log"; then
    tail -n 30 "$work/build.log"
    fail "$what: the build failed without '$expected'"
  elif [ -e "$exe" ]; then
    fail "$what: an unsigned orvsetup.exe was left behind"
  else
    pass "$what: the build fails and leaves no executable"
  fi
}
expect_build_failure "wrong password" "(Wrong password?)" \
  -DORV_SIGN_PASSWORD_FILE="$pki/wrong-password.txt"
stop_server
expect_build_failure "time-stamp server unreachable" "RFC 3161 timestamping failed" \
  -DORV_SIGN_PASSWORD_FILE="$pki/password.txt"

if configure "$build" "${sign_options[@]}" -DORV_SIGN_TIMESTAMP_URL= >"$work/configure.log" 2>&1 &&
   build_stub >"$work/build.log" 2>&1 && verify "$exe" "$pki/ca.pem" >"$work/verify.txt" 2>&1; then
  pass "signed again without a time stamp once the settings allow it"
else
  tail -n 30 "$work/build.log" "$work/verify.txt"
  fail "the build with the right settings did not sign again"
fi
# A certificate renewed under the same file name (here from the other CA) signs the next build.
openssl pkcs12 -export -in "$pki/renewed.pem" -inkey "$pki/renewed.key" -out "$pki/signer.p12" \
  -passout "file:$pki/password.txt"
if build_stub >"$work/build.log" 2>&1 && verify "$exe" "$pki/other.pem" >"$work/verify.txt" 2>&1 &&
   grep -qF "Subject: /CN=Orvandel Renewed Publisher" "$work/verify.txt"; then
  pass "a certificate renewed under the same name signs the next build"
else
  tail -n 30 "$work/build.log" "$work/verify.txt"
  fail "the renewed certificate did not sign the next build"
fi
if configure "$build" -DORV_SIGN_PKCS12= -DORV_SIGN_PASSWORD_FILE= >"$work/configure.log" 2>&1 &&
   build_stub >"$work/build.log" 2>&1 && [ -x "$exe" ] && ! verify "$exe" "$pki/ca.pem" >/dev/null 2>&1; then
  pass "signing turned off gives an unsigned stub"
else
  fail "signing turned off did not give an unsigned stub"
fi

# ---- Settings that cannot sign stop the configuration with a reason.
mkdir -p "$work/conf"
refused_settings=(
  "PKCS#12 file missing|must name an existing file|$pki/missing.p12||"
  "PKCS#12 path is a folder|must name an existing file|$pki||"
  "password file missing|must name an existing file|$pki/signer.p12|$pki/missing.txt|"
  "password file without a PKCS#12 file|ORV_SIGN_PKCS12 is not|||$tsa_url"
  "time-stamp address not http|http or https address|$pki/signer.p12|$pki/password.txt|ftp://127.0.0.1/"
)
for case in "${refused_settings[@]}"; do
  IFS='|' read -r what expected p12 password timestamp <<<"$case"
  if configure "$work/conf" -DORV_SIGN_PKCS12="$p12" -DORV_SIGN_PASSWORD_FILE="$password" \
       -DORV_SIGN_TIMESTAMP_URL="$timestamp" >"$work/conf.log" 2>&1; then
    fail "$what: configured"
  elif ! grep -qF "$expected" "$work/conf.log"; then
    tail -n 20 "$work/conf.log"
    fail "$what: refused without '$expected'"
  else
    pass "$what: refused at configuration"
  fi
done

if [ "$failures" -ne 0 ]; then
  echo "$failures signing check(s) failed"
  exit 1
fi
echo "all signing checks passed"
