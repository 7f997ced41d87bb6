#!/usr/bin/env bash
# Installs, from Debian's archive, what building and testing the project needs. Quiet and
# quick when everything is already there; run as root on a fresh machine.
#
# A mirror caught mid-sync makes `apt-get update` fail for one index while every other one is
# fine: the update is retried a few times and then the run goes on with what did arrive. Only
# a package that still cannot be installed ends it, by name.
set -uo pipefail
packages=(
  cmake ninja-build g++ python3 openssl ca-certificates util-linux iproute2
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64 mingw-w64-tools
  googletest libssl-dev zstd
  wine wine64 xvfb xauth x11-utils imagemagick nginx-light osslsigncode
)
tries=${TIDEWELL_APT_TRIES:-4}
log=$(mktemp)
trap 'rm -f "$log"' EXIT

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
missing() {
  local p
  for p in "$@"; do installed "$p" || echo "$p"; done
}

update_indexes() {
  local try
  for ((try = 1; try <= tries; try++)); do
    apt-get update -qq 2>"$log" && return 0
    if ((try < tries)); then
      echo "install-deps: the package indexes did not all arrive (try $try of $tries); again in $((try * 5)) s:" >&2
      grep -m 1 '^E:' "$log" >&2 || true
      sleep $((try * 5))
    fi
  done
  echo "install-deps: going on with the package indexes that did arrive:" >&2
  cat "$log" >&2
  return 1
}

mapfile -t needed < <(missing "${packages[@]}")
# The 32-bit Wine loader runs the shipped i686 files' tests. Whether the kernel lets it run
# is for the tests to find out; it is installed wherever Debian offers it.
wine32=
installed wine32:i386 || wine32=wine32:i386
[ ${#needed[@]} -eq 0 ] && [ -z "$wine32" ] && exit 0
export DEBIAN_FRONTEND=noninteractive
if [ -n "$wine32" ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
echo "Installing: ${needed[*]} $wine32"
complete=yes
update_indexes || complete=
if [ ${#needed[@]} -gt 0 ]; then
  # One package that no index offers must not keep the others out: after a failed install of
  # the whole set, each one left is tried on its own, once more after a fresh update.
  if ! apt-get install -y -qq "${needed[@]}" >/dev/null; then
    mapfile -t needed < <(missing "${needed[@]}")
    [ -n "$complete" ] || { update_indexes && complete=yes; }
    for p in "${needed[@]}"; do apt-get install -y -qq "$p" >/dev/null || true; done
  fi
  mapfile -t needed < <(missing "${needed[@]}")
  if [ ${#needed[@]} -gt 0 ]; then
    echo "install-deps: could not install ${needed[*]} from the package archive" >&2
    exit 1
  fi
fi
if [ -n "$wine32" ]; then
  # Its libraries must be of the same version as the 64-bit ones installed, which a missing
  # i386 index of the security suite can make impossible for a while.
  apt-get install -y -qq --no-install-recommends "$wine32" >/dev/null 2>"$log" \
    || echo "install-deps: $wine32 could not be installed ($(grep -m 1 '^E:' "$log")); the i686 tests will be skipped" >&2
fi
exit 0
