#!/usr/bin/env bash
# The maker's or a developer's measuring tool, not a set-up step: installs what is missing,
# builds the three builds and runs every benchmark at its full size, one after the other, then
# prints the figures they measured (the whole output is in build/bench.log). Benchmarks fail
# only when what they measure goes wrong (a download or an update not whole), never on a time.
#   scripts/bench.sh [CTEST_OPTIONS...]   e.g. -R bench.forms for one of them
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${TIDEWELL_BUILD_DIR:-$top/build}
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh"
trap '"$top/scripts/stop-sessions.sh" "$build"' EXIT
"$top/scripts/stop-sessions.sh" "$build"   # as scripts/test.sh: no session of another run's settings
cd "$build"
"$build/win32/wine-run" --check || true
env -u TIDEWELL_BENCH_QUICK ctest --label-regex bench --verbose "$@" > bench.log 2>&1 || { cat bench.log; exit 1; }
sed -n 's/^[0-9]*: \([A-Za-z].*: .*\)$/\1/p' bench.log
