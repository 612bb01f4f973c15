#!/usr/bin/env bash
# Installs every Debian 12 package that building, running and testing Glimmerpick needs.
# Safe to run again: packages already present are skipped.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config ninja-build
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev libgl-dev
  libqscintilla2-qt6-dev
  libcurl4-openssl-dev libcurl4-doc libssl-dev openssl
  libpcre2-dev
  libsqlcipher-dev sqlcipher
  libgtest-dev libgmock-dev libbenchmark-dev libcpp-httplib-dev
  xvfb xauth
  clang clang-format libclang-rt-14-dev
  nginx-light hyperfine curl python3
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
