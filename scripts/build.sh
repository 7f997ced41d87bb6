#!/usr/bin/env bash
# Configures and builds the three builds under build/ (or $TIDEWELL_BUILD_DIR):
#   native  the code that needs no Windows API, with sanitizers, and its tests
#   win64   x86_64 Windows build of the same sources, whose tests run under wine64
#   win32   the shipped i686 files, built with the same flags as a release, whose tests run
#           under 32-bit Wine where this machine can run 32-bit code
# Each Windows build points the updater at a local HTTPS test server of its own, and waits
# 8 s rather than the shipped 30 s for a silent server, so that the time-out tests stay short.
# With --configure-only it configures the three and builds nothing, for a caller that builds
# only the targets it needs.
set -euo pipefail
only_configure=
[ "${1:-}" = --configure-only ] && only_configure=yes
top=$(cd "$(dirname "$0")/.." && pwd)
build=${TIDEWELL_BUILD_DIR:-$top/build}
port=${TIDEWELL_TEST_PORT:-48443}
port32=$((port + 10))
timeout=8

configure() {
  local dir=$1
  shift
  cmake -S "$top" -B "$build/$dir" -G Ninja "$@" >"$build/$dir.configure.log" 2>&1 \
    || { cat "$build/$dir.configure.log" >&2; return 1; }
}
mkdir -p "$build"
configure native -DCMAKE_BUILD_TYPE=Debug
configure win64 -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-mingw-x86_64.cmake" \
  -DTIDEWELL_TEST_PORT="$port" -DTIDEWELL_UPDATE_SERVER="https://localhost:$port" \
  -DTIDEWELL_NETWORK_TIMEOUT="$timeout"
configure win32 -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-mingw-i686.cmake" \
  -DTIDEWELL_TEST_PORT="$port32" -DTIDEWELL_UPDATE_SERVER="https://localhost:$port32" \
  -DTIDEWELL_NETWORK_TIMEOUT="$timeout"
# One after the other: side by side, on two cores, the three took a sixth longer.
if [ -z "$only_configure" ]; then
  for dir in native win64 win32; do
    echo "== building $dir"
    started=$SECONDS
    cmake --build "$build/$dir"
    echo "== $dir built in $((SECONDS - started)) s"
  done
fi
# One CTest run over the three builds, with one summary.
printf 'subdirs("native" "win64" "win32")\n' > "$build/CTestTestfile.cmake"
