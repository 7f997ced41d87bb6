#!/usr/bin/env bash
# Installs what is missing, builds the three builds and runs every test: native tests under
# sanitizers, the Windows tests of the x86_64 build under wine64 and of the shipped i686 build
# under 32-bit Wine (each with Xvfb and a local HTTPS server; the i686 ones are reported as
# skipped where this machine cannot run 32-bit code), and static checks of both builds' files.
# Ends with CTest's summary.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${TIDEWELL_BUILD_DIR:-$top/build}
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh"
stop() {
  for arch in win64 win32; do
    "$top/tests/server/serve.sh" stop "$build/$arch/https" || true
    [ -x "$build/$arch/wine-run" ] && "$build/$arch/wine-run" --stop >/dev/null || true
  done
}
trap stop EXIT
cd "$build"
"$build/win32/wine-run" --check || true
# Benchmarks print figures and never fail on timing; they run first so that the run still
# ends with the summary of every test.
ctest --label-regex bench --verbose "$@" > bench.log 2>&1 || { cat bench.log; exit 1; }
sed -n 's/^[0-9]*: \([A-Za-z].*: .*\)$/\1/p' bench.log
ctest --parallel "$(nproc)" --output-on-failure --label-exclude bench "$@"
