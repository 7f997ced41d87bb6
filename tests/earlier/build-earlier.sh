#!/usr/bin/env bash
# Builds the signed test updater (Tidewell_signed) from an earlier commit of this repository,
# with the same toolchain and test server as the build that runs it: the copies in the field
# run such builds, and the tests prove that they keep installing what is published now.
#   build-earlier.sh SOURCE COMMIT OUT TOOLCHAIN PORT SERVER TIMEOUT
# OUT/Tidewell_signed.exe afterwards; where the checkout holds no history of that commit (an
# export, a shallow clone), OUT/unavailable says why instead, and the tests that need it skip.
set -euo pipefail
source=$1 commit=$2 out=$3 toolchain=$4 port=$5 server=$6 timeout=$7
mkdir -p "$out"
rm -f "$out/unavailable" "$out/Tidewell_signed.exe"
if ! git -C "$source" cat-file -e "$commit^{commit}" 2>/dev/null; then
  echo "commit $commit is not in the checkout's history" > "$out/unavailable"
  exit 0
fi
rm -rf "$out/src" "$out/build"
mkdir -p "$out/src"
git -C "$source" archive "$commit" | tar -x -C "$out/src"
cmake -S "$out/src" -B "$out/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$out/src/cmake/$(basename "$toolchain")" \
  -DTIDEWELL_TEST_PORT="$port" -DTIDEWELL_UPDATE_SERVER="$server" -DTIDEWELL_NETWORK_TIMEOUT="$timeout" \
  >"$out/configure.log" 2>&1 || { cat "$out/configure.log" >&2; exit 1; }
cmake --build "$out/build" --target Tidewell_signed >"$out/build.log" 2>&1 || { tail -30 "$out/build.log" >&2; exit 1; }
cp "$out/build/updater/Tidewell_signed.exe" "$out/Tidewell_signed.exe"
rm -rf "$out/src" "$out/build"
