#!/usr/bin/env bash
# Installs, from Debian's archive, what building and testing the project needs. Quiet and
# quick when everything is already there; run as root on a fresh machine.
set -euo pipefail
packages=(
  cmake ninja-build g++ python3 openssl ca-certificates util-linux iproute2
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64 mingw-w64-tools
  googletest libssl-dev
  wine wine64 xvfb xauth x11-utils imagemagick nginx-light osslsigncode
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
# The 32-bit Wine loader runs the shipped i686 files' tests. Whether the kernel lets it run
# is for the tests to find out; it is installed wherever Debian offers it.
wine32=
if ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
  wine32=wine32:i386
fi
[ ${#missing[@]} -eq 0 ] && [ -z "$wine32" ] && exit 0
export DEBIAN_FRONTEND=noninteractive
if [ -n "$wine32" ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
echo "Installing: ${missing[*]} $wine32"
apt-get update -qq
if [ ${#missing[@]} -gt 0 ]; then
  apt-get install -y -qq "${missing[@]}" >/dev/null
fi
if [ -n "$wine32" ]; then
  apt-get install -y -qq --no-install-recommends "$wine32" >/dev/null \
    || echo "install-deps: $wine32 could not be installed; the i686 tests will be skipped" >&2
fi
