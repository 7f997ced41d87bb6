#!/usr/bin/env bash
# Builds Tidewell.exe and starts it under Wine in a fresh, empty application folder, as a
# user would start it there. On the user's display the window or message stays until closed;
# without a display the program runs on a virtual screen, and a screenshot is saved and its
# path printed.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${TIDEWELL_BUILD_DIR:-$top/build}
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh" >/dev/null

app=$(mktemp -d /tmp/tidewell-demo.XXXXXX)
cp "$build/win64/updater/Tidewell.exe" "$app/"
echo "Application folder: $app"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  export WINEPREFIX="$build/demo/prefix" WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all
  mkdir -p "$build/demo"
  (cd "$app" && /usr/lib/wine/wine64 "$app/Tidewell.exe")
  exit 0
fi

run="$build/win64/wine-run"
"$run" --start
trap '"$run" --stop' EXIT
(cd "$app" && "$run" "$app/Tidewell.exe") &
sleep 4
mkdir -p "$build/demo"
shot="$build/demo/tidewell.png"
DISPLAY=:"$(cat "$build/win64/wine/xvfb.display")" import -window root "$shot"
echo "Screenshot of the screen: $shot"
