#!/usr/bin/env bash
# Installs every Debian package the build, the demo site and the tests need, and those of the
# CI's hardening checks: clang with its fuzzer runtime (tests/fuzz), MinGW-w64 and Wine (the
# Windows build and its tests, scripts/windows.sh).
# Idempotent and non-interactive; run as root (or with sudo available) on Debian 12.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libqt6sql6-odbc libqt6svg6
  libzip-dev libxml2-dev libcurl4-openssl-dev libssl-dev libsqlite3-dev sqlite3 libcpp-httplib-dev
  unixodbc unixodbc-dev libsqliteodbc
  googletest libgtest-dev libgmock-dev
  p7zip-full zip unzip python3 python3-pefile openssl
  fonts-dejavu-core
  clang-14 libclang-rt-14-dev llvm-14
  g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev libz-mingw-w64-dev wine64 dpkg-dev
  qt6-translations-l10n
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
