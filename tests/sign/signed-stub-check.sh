#!/usr/bin/env bash
# Signs a release build of the stub through its build options with a throw-away CA, code-signing
# certificate and local time-stamp server, and checks it with osslsigncode verify against that CA.
# Shown able to fail: another CA, a tampered copy and the unsigned file are refused; a wrong
# password or an unreachable time-stamp server fails the build and leaves no executable.
# Usage: signed-stub-check.sh SOURCE_DIR WORK_DIR
set -euo pipefail
src=$(cd "$1" && pwd)
work=$2 pki=$2/pki build=$2/build exe=$2/build/orvsetup.exe
# A new PKI every time; the build folder stays for the next run, which then compiles only what
# changed. Its stub is removed, so that the first build below links and signs it anew.
mkdir -p "$work"
find "$work" -mindepth 1 -maxdepth 1 ! -name build -exec rm -rf {} +
rm -f "$exe"
mkdir -p "$pki"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
for tool in openssl osslsigncode python3 i686-w64-mingw32-g++-posix; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (bash scripts/install-deps.sh)"; exit 1; }
done

# ---- Throw-away PKI: two unrelated CAs; code-signing and time-stamping certificates.
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
make_p12() { openssl pkcs12 -export -in "$pki/$1.pem" -inkey "$pki/$1.key" -out "$pki/signer.p12" -passout "file:$pki/password.txt"; }
make_ca ca "Orvandel Throw-away Test CA"
make_ca other "Unrelated Test CA"
make_leaf signer "Orvandel Throw-away Publisher" codeSigning ca
make_leaf renewed "Orvandel Renewed Publisher" codeSigning other
make_leaf tsa "Orvandel Throw-away Time-Stamp Authority" timeStamping ca
printf 'throw away %s\n' "$RANDOM$RANDOM" >"$pki/password.txt"
printf 'not the password\n' >"$pki/wrong-password.txt"
make_p12 signer
printf '[tsa]\ndefault_tsa=t\n[t]\nserial=%s\nsigner_cert=%s\ncerts=%s\nsigner_key=%s\nsigner_digest=sha256\n%s\n' \
  "$pki/tsa.serial" "$pki/tsa.pem" "$pki/ca.pem" "$pki/tsa.key" \
  "default_policy=1.3.6.1.4.1.55555.1
digests=sha1,sha256,sha384,sha512
ess_cert_id_alg=sha256" >"$pki/tsa.cnf"
python3 "$src/tests/sign/timestamp_server.py" "$pki/tsa.cnf" "$work/tsa.port" &
server_pid=$!
trap 'kill $server_pid 2>/dev/null || true' EXIT
for _ in $(seq 100); do [ -s "$work/tsa.port" ] && break; sleep 0.1; done
[ -s "$work/tsa.port" ] || { echo "FAIL: the time-stamp server did not start"; exit 1; }

configure() {  # build-dir cmake-arguments...
  local dir=$1
  shift
  # Signing does not depend on link-time optimisation, which only lengthens the build.
  cmake -S "$src" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-i686.cmake" -DORV_BUILD_TESTS=OFF -DORV_LTO=OFF "$@" \
    >"$work/configure.log" 2>&1
}
build_stub() { cmake --build "$build" --target orvsetup -j2 >"$work/build.log" 2>&1; }
verify() { osslsigncode verify -CAfile "$2" -TSA-CAfile "$pki/ca.pem" -in "$1" >"$work/verify.txt" 2>&1; }

# ---- The signed build: SHA-256, the product's name and address, a time stamp, the signer.
configure "$build" -DORV_SIGN_PKCS12="$pki/signer.p12" -DORV_SIGN_PASSWORD_FILE="$pki/password.txt" \
  -DORV_SIGN_TIMESTAMP_URL="http://127.0.0.1:$(cat "$work/tsa.port")/" &&
  build_stub || { cat "$work/configure.log" "$work/build.log"; echo "FAIL: the signed build failed"; exit 1; }
if verify "$exe" "$pki/ca.pem"; then
  for line in "Message digest algorithm  : SHA256" "Text description: Orvandel Setup" \
              "URL description: https://www.orvandel.com/" "Timestamp Server Signature verification: ok" \
              "Subject: /CN=Orvandel Throw-away Publisher" "Signature verification: ok"; do
    grep -qF "$line" "$work/verify.txt" && pass "verified: $line" || fail "the verification lacks '$line'"
  done
else
  cat "$work/verify.txt"
  fail "the signed stub does not verify against its CA"
fi
[ -x "$exe" ] || fail "the signed stub lost its execute permission"

# ---- What must not verify.
cp "$exe" "$work/signed.exe"
cp "$exe" "$work/tampered.exe"
printf '\xcc\xcc\xcc\xcc' | dd of="$work/tampered.exe" bs=1 seek=4096 conv=notrunc 2>/dev/null
cmp -s "$work/signed.exe" "$work/tampered.exe" && fail "the tampered copy equals the signed file"
osslsigncode remove-signature -in "$work/signed.exe" -out "$work/unsigned.exe" >/dev/null 2>&1
for case in "checked against another CA|signed.exe|other.pem" "code changed after signing|tampered.exe|ca.pem" \
            "signature removed|unsigned.exe|ca.pem"; do
  IFS='|' read -r what file ca <<<"$case"
  verify "$work/$file" "$pki/$ca" && fail "$what: verified" || pass "$what: refused"
done

# ---- A certificate renewed under the same file name signs the next build without reconfiguring.
make_p12 renewed
if build_stub && verify "$exe" "$pki/other.pem" && grep -qF "/CN=Orvandel Renewed Publisher" "$work/verify.txt"; then
  pass "the renewed certificate signs the next build"
else
  fail "the renewed certificate did not sign the next build"
fi

# ---- Builds that cannot sign fail with osslsigncode's reason and leave no unsigned executable.
for case in "wrong password|(Wrong password?)|-DORV_SIGN_PASSWORD_FILE=$pki/wrong-password.txt" \
            "time-stamp server unreachable|RFC 3161 timestamping failed|-DORV_SIGN_TIMESTAMP_URL=http://127.0.0.1:1/"; do
  IFS='|' read -r what reason option <<<"$case"
  configure "$build" -DORV_SIGN_PASSWORD_FILE="$pki/password.txt" "$option" || { fail "$what: not configured"; continue; }
  if build_stub; then
    fail "$what: the build succeeded"
  elif ! grep -qF "$reason" "$work/build.log" || [ -e "$exe" ]; then
    tail -n 30 "$work/build.log"
    fail "$what: no '$reason' in the build's output, or an executable left behind"
  else
    pass "$what: the build fails and leaves no executable"
  fi
done

# ---- Settings that cannot sign stop the configuration with a reason.
for case in "PKCS#12 file missing|must name an existing file|-DORV_SIGN_PKCS12=$pki/missing.p12" \
            "password without a PKCS#12 file|ORV_SIGN_PKCS12 is not|-DORV_SIGN_PKCS12=" \
            "time-stamp address not http|http or https address|-DORV_SIGN_TIMESTAMP_URL=ftp://127.0.0.1/"; do
  IFS='|' read -r what reason option <<<"$case"
  if configure "$work/conf" -DORV_SIGN_PKCS12="$pki/signer.p12" -DORV_SIGN_PASSWORD_FILE="$pki/password.txt" \
       -DORV_SIGN_TIMESTAMP_URL= "$option"; then
    fail "$what: configured"
  elif grep -qF "$reason" "$work/configure.log"; then
    pass "$what: refused at configuration"
  else
    tail -n 20 "$work/configure.log"
    fail "$what: refused without '$reason'"
  fi
done

[ "$failures" -eq 0 ] || { echo "$failures signing check(s) failed"; exit 1; }
echo "all signing checks passed"
