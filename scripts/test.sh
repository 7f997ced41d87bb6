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
# A session left running (the demo's, a test run cut short) would keep a prefix made with other
# settings: the tests start their own.
"$top/scripts/stop-sessions.sh" "$build"
cd "$build"
"$build/win32/wine-run" --check || true
status=0
# Most Windows tests wait (on Wine, on a server's bound, on a window), and each whole run
# has a sandbox of its own: three at a time per core. At two, on two cores, the processors
# stood idle a fifth of the test time. (Message boxes once went unseen at three: that was a
# sandbox's screen taking the shared screen's socket file, mended since.)
# Plus one: in a whole run, the release test holds a place for most of the run while it
# compiles at the lowest priority, on what the others leave of the processors.
parallel=${TIDEWELL_TEST_PARALLEL:-$(( $(nproc) * 3 + 1 ))}
TIDEWELL_BENCH_QUICK=1 ctest --parallel "$parallel" --output-on-failure "$@" || status=$?
ended=$(date +%s)
echo "wall time: build $((built - started)) s, tests $((ended - built)) s"
exit $status
