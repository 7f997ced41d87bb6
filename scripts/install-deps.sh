#!/usr/bin/env bash
# Installs, from Debian's archive, what building and testing the project needs. Quiet and
# quick when everything is already there; run as root on a fresh machine.
set -euo pipefail
packages=(
  cmake ninja-build g++ python3 openssl ca-certificates util-linux iproute2
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64 mingw-w64-tools
  googletest
  wine wine64 xvfb xauth x11-utils imagemagick
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq "${missing[@]}" >/dev/null
