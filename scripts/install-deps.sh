#!/usr/bin/env bash
# Installs, from Debian's packages, what building and testing the stub needs; does nothing when
# everything is present already.
set -euo pipefail
packages=(cmake make g++ clang libclang-rt-14-dev mingw-w64 g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32:i386 wine64
          xvfb xauth libeasyloggingpp-dev nlohmann-json3-dev googletest libbenchmark-dev libcpp-httplib-dev
          libssl-dev zlib1g-dev pkg-config icoutils liblnk-utils imagemagick python3
          osslsigncode openssl
          # Wine's bcrypt verifies ECDSA through GnuTLS, which wine32 and wine64 only recommend.
          libgnutls30:i386 libgnutls30)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
if ! dpkg --print-foreign-architectures | grep -qx i386; then $SUDO dpkg --add-architecture i386; fi
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
