#!/usr/bin/env bash
# The maker's command: from this checkout, on a fresh Debian machine, builds the shipped 32-bit
# files in Release for the given update server, strips them, and writes them with their
# SHA-256 sums into one folder:
#   scripts/release.sh https://updates.example.com [OUT_DIR]     (OUT_DIR defaults to ./release)
# Two runs on one commit give the same bytes, whatever the folders and the time.
# With TIDEWELL_SIGN_CERT and TIDEWELL_SIGN_KEY (PEM files: a code-signing certificate, with
# its chain, and its key) both files are signed with Authenticode and the signatures verified
# against TIDEWELL_SIGN_CA (the trusted roots; the system's bundle by default).
# TIDEWELL_UPDATE_KEYS and TIDEWELL_RELEASE_FLOOR, when set, build the release keys into the
# updater (see README.md, "Signed releases").
# TIDEWELL_RELEASE_BUILD_DIR, when set, is the build folder, kept afterwards: a later run there
# compiles again only what its settings change (other keys, another server). By default each
# run builds in a fresh folder of its own, removed afterwards.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
server=${1:?usage: scripts/release.sh UPDATE_SERVER [OUT_DIR]}
out=${2:-$top/release}

packages=(cmake ninja-build g++-mingw-w64-i686 binutils-mingw-w64-i686)
signing=
if [ -n "${TIDEWELL_SIGN_CERT:-}${TIDEWELL_SIGN_KEY:-}" ]; then
  : "${TIDEWELL_SIGN_CERT:?TIDEWELL_SIGN_KEY is set, TIDEWELL_SIGN_CERT is not}"
  : "${TIDEWELL_SIGN_KEY:?TIDEWELL_SIGN_CERT is set, TIDEWELL_SIGN_KEY is not}"
  signing=1
  packages+=(osslsigncode)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if [ -n "${TIDEWELL_RELEASE_BUILD_DIR:-}" ]; then
  build=$TIDEWELL_RELEASE_BUILD_DIR
  mkdir -p "$build"
else
  build=$(mktemp -d)
  trap 'rm -rf "$build"' EXIT
fi
# --fresh: nothing of an earlier configure of a kept folder stays but its compiled files, which
# are compiled again wherever the settings change them.
cmake --fresh -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-mingw-i686.cmake" \
  -DTIDEWELL_UPDATE_SERVER="$server" -DTIDEWELL_UPDATE_KEYS="${TIDEWELL_UPDATE_KEYS:-}" \
  -DTIDEWELL_RELEASE_FLOOR="${TIDEWELL_RELEASE_FLOOR:-0}" -DTIDEWELL_PROXY="${TIDEWELL_PROXY:-direct}" \
  -DTIDEWELL_TESTS=OFF >"$build/configure.log" 2>&1 \
  || { cat "$build/configure.log" >&2; exit 1; }
# The two shipped files only: the maker's tool is built for Linux, where it signs.
cmake --build "$build" --target Tidewell RotelleCV >"$build/build.log" 2>&1 \
  || { cat "$build/build.log" >&2; exit 1; }

mkdir -p "$out"
rm -f "$out/Tidewell.exe" "$out/RotelleCV.ocx" "$out/SHA256SUMS"
# The linker writes no time stamp; strip would write the current time unless told this one.
for f in updater/Tidewell.exe wheel/RotelleCV.ocx; do
  SOURCE_DATE_EPOCH=0 i686-w64-mingw32-strip --strip-all -o "$out/${f#*/}" "$build/$f"
done
if [ -n "$signing" ]; then
  for f in Tidewell.exe RotelleCV.ocx; do
    osslsigncode sign -certs "$TIDEWELL_SIGN_CERT" -key "$TIDEWELL_SIGN_KEY" -h sha256 \
      -n "${f%.*}" -in "$out/$f" -out "$out/$f.signed" >/dev/null
    mv "$out/$f.signed" "$out/$f"
    osslsigncode verify -CAfile "${TIDEWELL_SIGN_CA:-/etc/ssl/certs/ca-certificates.crt}" \
      -in "$out/$f" >/dev/null \
      || { echo "the signature of $f does not verify" >&2; exit 1; }
  done
fi
(cd "$out" && sha256sum Tidewell.exe RotelleCV.ocx > SHA256SUMS)
for f in Tidewell.exe RotelleCV.ocx; do
  printf '%s: %d bytes\n' "$out/$f" "$(stat -c %s "$out/$f")"
done
echo "update server: $server${signing:+; signed and verified}"
