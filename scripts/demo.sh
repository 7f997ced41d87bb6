#!/usr/bin/env bash
# A real update, start to end, on this machine: builds the maker's tool, the updater and a
# stand-in application (no test), publishes a sample release of Abacor with the maker's tool
# onto the local HTTPS update server, prepares an application
# folder holding the previous version, the "Abacor.ini" marker and a stand-in "Abacor.exe",
# and runs Tidewell.exe there under Wine: the shipped i686 file where this machine can run 32-bit
# code, otherwise the x86_64 build of the same sources. The window shows on the user's display when there
# is one; otherwise it runs on a virtual screen and screenshots are saved. At the end it
# prints which files changed and how the application was restarted. The release is signed with
# a key the demo generates, and the Tidewell.exe that runs is a build carrying its public key:
# it installs the release only once the signature and every file's hash have been verified.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${TIDEWELL_BUILD_DIR:-$top/build}
port=${TIDEWELL_TEST_PORT:-48443}
"$top/scripts/install-deps.sh"
echo "Building what the demo runs..."
"$top/scripts/build.sh" --configure-only >/dev/null

demo="$build/demo"
# The shipped 32-bit file where the machine runs it; each build has its own Wine session and
# its own local server, as in the tests.
if check=$("$build/win32/wine-run" --check); then
  arch=win32 port=$((port + 10))
  echo "Running the shipped i686 Tidewell.exe (build/win32)."
else
  arch=win64
  echo "Running the x86_64 build of Tidewell.exe (build/win64): ${check#*, }."
fi
run="$build/$arch/wine-run"
# Only what runs here: the maker's tool and the stand-in application; the tests are not built.
cmake --build "$build/native" --target tidewell-publish >/dev/null
cmake --build "$build/$arch" --target standin >/dev/null
state="$build/$arch/https"

# The maker's signing key, made for this demo, and an updater built to trust it.
publish="$build/native/tools/publish/tidewell-publish"
keys="$build/demo-keys"
mkdir -p "$keys"
[ -s "$keys/demo-key.pem" ] || openssl ecparam -name prime256v1 -genkey -noout -out "$keys/demo-key.pem"
public_key=$("$publish" --print-public-key "$keys/demo-key.pem" --key-id 1)
toolchain=$([ "$arch" = win32 ] && echo i686 || echo x86_64)
echo "Building Tidewell.exe with the demo's public key (TIDEWELL_UPDATE_KEYS=${public_key:0:18}...)."
cmake -S "$top" -B "$build/demo-$arch" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTIDEWELL_TESTS=OFF \
  -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-mingw-$toolchain.cmake" \
  -DTIDEWELL_UPDATE_SERVER="https://localhost:$port" -DTIDEWELL_UPDATE_KEYS="$public_key" >/dev/null
cmake --build "$build/demo-$arch" --target Tidewell >/dev/null
rm -rf "$demo"
mkdir -p "$demo/release" "$demo/Abacor App" "$demo/shots"
app="$demo/Abacor App"

# The release the maker publishes: version 2 of three files, one of them new.
printf 'Abacor version 2\r\n%.0s' $(seq 4000) > "$demo/release/Abacor.dat"
printf 'Aide d'"'"'Abacor, version 2\r\n' > "$demo/release/Aide.hlp"
printf 'Nouveau dans la version 2\r\n' > "$demo/release/Nouveautes.txt"

# The application folder as the user has it: version 1, read-only help included.
cp "$build/demo-$arch/updater/Tidewell.exe" "$app/"
cp "$build/$arch/tests/standin/standin.exe" "$app/Abacor.exe"
: > "$app/Abacor.ini"
printf 'Abacor version 1\r\n' > "$app/Abacor.dat"
printf 'Aide d'"'"'Abacor, version 1\r\n' > "$app/Aide.hlp"
chmod a-w "$app/Aide.hlp"
(cd "$app" && md5sum -- * 2>/dev/null) > "$demo/before.md5"

cleanup() {
  "$top/tests/server/serve.sh" stop "$state" || true
  "$run" --stop || true
}
trap cleanup EXIT
"$top/tests/server/serve.sh" start "$state" "$build/$arch/certs" "$top/tests/server/www" "$port" $((port + 1)) \
  $((port + 2))
rm -rf "$state/www/Abacor" "$state/www/.Abacor."*
"$publish" --release "$demo/release" --out "$state/www/Abacor" \
  --version 2 --subversion 1 --date "$(date +%d/%m/%Y)" --key "$keys/demo-key.pem" --key-id 1 --release-number 1 --expires 30
echo "Update server: https://localhost:$port/Abacor (HTTPS, certificate of a test CA trusted by Wine)"
"$run" --start

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  echo "Running Tidewell.exe on your display..."
  (cd "$app" && WINE_RUN_DISPLAY=$DISPLAY "$run" "$app/Tidewell.exe")
else
  echo "Running Tidewell.exe on a virtual screen..."
  (cd "$app" && "$run" "$app/Tidewell.exe") &
  updater=$!
  screen=:$(cat "$build/$arch/wine/xvfb.display")
  for at in 2 5 8; do
    sleep $((at - ${last:-0})); last=$at
    DISPLAY=$screen import -window root -crop 600x260+340+380 "$demo/shots/tidewell-${at}s.png" 2>/dev/null || true
  done
  wait $updater
  echo "Screenshots:"
  ls -1 "$demo/shots"/*.png | sed 's/^/  /'
fi

sleep 2   # the restarted application records itself a moment after the updater ends
echo "Files of the application folder:"
(cd "$app" && md5sum -- * 2>/dev/null) > "$demo/after.md5"
for f in $(cd "$app" && ls); do
  before=$(grep "  $f\$" "$demo/before.md5" | cut -d' ' -f1 || true)
  after=$(grep "  $f\$" "$demo/after.md5" | cut -d' ' -f1 || true)
  case "$f" in standin.log) continue ;; esac
  if [ -z "$before" ]; then echo "  new:       $f"
  elif [ "$before" != "$after" ]; then echo "  updated:   $f"
  else echo "  unchanged: $f"; fi
done
if [ -s "$app/Etatmaj.ini" ]; then
  release=$(sed -n 's/^Edition=\([0-9]*\).*/\1/p' "$app/Etatmaj.ini")
  echo "The release was verified: release $release, signed by key 1, every file's SHA-256 as signed."
else
  echo "The release was NOT verified: nothing was installed."
fi
if [ -s "$app/standin.log" ]; then
  echo "The application was restarted: $(cat "$app/standin.log")"
else
  echo "The application was not restarted."
fi
