#!/usr/bin/env bash
# Installs the toolchains and libraries both builds need, on Debian or Ubuntu. Safe to run again:
# it asks apt only for what is missing.
set -euo pipefail
packages=(
  cmake ninja-build g++ pkg-config git ca-certificates clang-format
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-tools wine64 osslsigncode openssl
  libcurl4-openssl-dev nlohmann-json3-dev libcpp-httplib-dev libsqlite3-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang llvm libclang-rt-dev
)
missing=()
# npm fetches SQLite's amalgamation; a machine with its own Node.js keeps it.
command -v npm >/dev/null || packages+=(nodejs npm)
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
