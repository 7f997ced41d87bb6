#!/usr/bin/env bash
# Ends what the tests of a build folder left running: each Windows build's test servers and
# its Wine session (Xvfb, wineserver). Run when a test or benchmark command ends, however.
#   scripts/stop-sessions.sh BUILD_DIR
build=${1:?usage: stop-sessions.sh BUILD_DIR}
top=$(cd "$(dirname "$0")/.." && pwd)
for arch in win64 win32; do
  "$top/tests/server/serve.sh" stop "$build/$arch/https" || true
  [ -x "$build/$arch/wine-run" ] && "$build/$arch/wine-run" --stop >/dev/null || true
done
