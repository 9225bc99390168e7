#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when missing.
# Run as root (or with sudo); otherwise prints what to install.
set -euo pipefail

packages=(build-essential cmake ninja-build libsqlite3-dev sqlite3 libgtest-dev python3
          libbenchmark-dev tmux openssl libssl-dev apache2-bin curl ccache
          clang clang-tidy cppcheck libclang-rt-14-dev postgresql libpq-dev)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing Debian packages: ${missing[*]}" >&2
  echo "Install them with: sudo apt-get install ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq "${missing[@]}" >/dev/null
