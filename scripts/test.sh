#!/usr/bin/env bash
# Installs what is missing, builds the three builds and runs every test: native tests under
# sanitizers, the Windows tests of the x86_64 build under wine64 and of the shipped i686 build
# under 32-bit Wine (each with Xvfb and a local HTTPS server; the i686 ones are reported as
# skipped where this machine cannot run 32-bit code), and static checks of both builds' files.
# The benchmarks are built and run once each in a quick pass, with tiny sizes, which only shows
# that they still run (scripts/bench.sh measures). Ends with CTest's summary and the wall time
# of the build and of the tests.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${TIDEWELL_BUILD_DIR:-$top/build}
"$top/scripts/install-deps.sh"
started=$(date +%s)
"$top/scripts/build.sh"
built=$(date +%s)
trap '"$top/scripts/stop-sessions.sh" "$build"' EXIT
cd "$build"
"$build/win32/wine-run" --check || true
status=0
# Most Windows tests wait (on Wine, on a server's bound, on a window), and each whole run
# has a sandbox of its own: two at a time per core keeps the processors busy. At three, on
# two cores, tests that answer message boxes saw none within their 15 s.
parallel=${TIDEWELL_TEST_PARALLEL:-$(( $(nproc) * 2 ))}
TIDEWELL_BENCH_QUICK=1 ctest --parallel "$parallel" --output-on-failure "$@" || status=$?
ended=$(date +%s)
echo "wall time: build $((built - started)) s, tests $((ended - built)) s"
exit $status
