#!/usr/bin/env bash
# Installs what is missing, builds the three builds and runs every test: native tests under
# sanitizers, Windows tests under wine64 (with Xvfb and the local HTTPS server), and static
# checks of the shipped 32-bit files. Ends with CTest's summary.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${TIDEWELL_BUILD_DIR:-$top/build}
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh"
stop() {
  "$top/tests/server/serve.sh" stop "$build/win64/https" || true
  [ -x "$build/win64/wine-run" ] && "$build/win64/wine-run" --stop || true
}
trap stop EXIT
cd "$build"
# Benchmarks print figures and never fail on timing; they run first so that the run still
# ends with the summary of every test.
ctest --label-regex bench --verbose "$@" > bench.log 2>&1 || { cat bench.log; exit 1; }
sed -n 's/^[0-9]*: \([A-Za-z].*: .*\)$/\1/p' bench.log
ctest --parallel "$(nproc)" --output-on-failure --label-exclude bench "$@"
