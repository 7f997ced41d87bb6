#!/usr/bin/env bash
# A sandbox's screen is its own: a screen outside it, which programs in another network reach
# only through its socket file, is still reachable once a sandboxed program has run.
#   sandbox_screen_test.sh WINE_RUN
# The check runs in a network and a socket folder of its own, where its stand-in for the
# shared screen takes display number 0, the number a sandbox's screen takes in its network.
set -euo pipefail
wine_run=$1
"$wine_run" --check >/dev/null || exit 77
# The shared session starts here, in the machine's world, if it is not running yet.
"$wine_run" --start
unset WINE_RUN_DISPLAY SANDBOX_OUTSIDE_net SANDBOX_OUTSIDE_mnt
exec unshare -m -n -- bash -c '
  set -euo pipefail
  wine_run=$1
  ip link set lo up
  mkdir -p /tmp/.X11-unix
  mount -t tmpfs -o mode=1777 tmpfs /tmp/.X11-unix
  work=$(mktemp -d)
  setsid Xvfb -displayfd 3 -nolisten tcp 3>"$work/display" </dev/null >"$work/xvfb.log" 2>&1 &
  xvfb=$!
  trap "kill $xvfb 2>/dev/null; rm -rf \"$work\"" EXIT
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
  display=$(cat "$work/display" 2>/dev/null)
  [ "$display" = 0 ] || { echo "FAIL: the stand-in screen took display \"$display\", not 0" >&2; exit 1; }
  # The very file: a sandbox that replaced it would leave its own there until its screen ends.
  file=$(stat -c %i /tmp/.X11-unix/X0)
  # Reached by its file alone, from a network of its own, as an offline test reaches it.
  reachable() {
    unshare -n python3 -c "import socket; socket.socket(socket.AF_UNIX).connect(\"/tmp/.X11-unix/X0\")" 2>/dev/null
  }
  reachable || { echo "FAIL: the stand-in screen is not reachable by its file to begin with" >&2; exit 1; }
  # The inside of a sandbox, called without the namespaces a sandboxed run makes for it, refuses
  # and leaves the world it was called in as it was.
  "$wine_run" --sandboxed "$work/nobox" cmd /c exit 0 >/dev/null 2>&1 && rc=0 || rc=$?
  [ "$rc" = 125 ] && [ "$(stat -c %i /tmp/.X11-unix/X0 2>/dev/null)" = "$file" ] \
    || { echo "FAIL: called outside a sandbox, the inside of a sandbox ran (it ended with $rc)" >&2; exit 1; }
  WINE_RUN_SANDBOX=1 "$wine_run" cmd /c exit 3 && rc=0 || rc=$?
  [ "$rc" = 3 ] || { echo "FAIL: the sandboxed program ended with $rc, not 3" >&2; exit 1; }
  reachable && [ "$(stat -c %i /tmp/.X11-unix/X0)" = "$file" ] \
    || { echo "FAIL: after a sandboxed run the screen outside is cut off from other networks" >&2; exit 1; }
  echo "a sandboxed run left the screen outside reachable by its file"
' sandbox_screen_test "$wine_run"
