#!/usr/bin/env bash
# Drives the installer window on an X server without a user (scripts/demo.sh runs it
# under Xvfb): screenshots before, during and after the installation, a press of the
# install button, then of the launch button. Every wait has a limit.
#   demo_drive.sh ROOT SCREENSHOT_TOOL
set -euo pipefail
root=$1 shooter=$2
out="$root/window.txt"

(cd "$root/setup" && INSTALLER_DESCRIBE=1 exec ./Setup >"$out" 2>&1) &
pid=$!
trap 'kill "$pid" 2>/dev/null || true' EXIT

# Waits up to $2 tenths of a second for a line of the window's output matching $1.
wait_for() {
  local i
  for ((i = 0; i < $2; i++)); do
    grep -q "$1" "$out" 2>/dev/null && return 0
    kill -0 "$pid" 2>/dev/null || { grep -q "$1" "$out" 2>/dev/null; return; }
    sleep 0.1
  done
  echo "demo: no \"$1\" from the window within $(($2 / 10)) s" >&2
  return 1
}

# Presses the middle of the named control: the window's screen place from its first
# line ("... at X,Y, ..."), the control's place in the window from its own line.
press() {
  local wx wy cx cy cw ch
  read -r wx wy < <(sed -n 's/^window .* at \([0-9-]*\),\([0-9-]*\),.*/\1 \2/p' "$out" | head -1)
  read -r cx cy cw ch < <(awk -v n="$1" '$1 == n { split($2, p, ","); split($3, s, "x");
                                             print p[1], p[2], s[1], s[2]; exit }' "$out")
  xdotool mousemove $((wx + cx + cw / 2)) $((wy + cy + ch / 2)) click 1
}

wait_for '^archive:' 100
"$shooter" --title Form1 --wait 5000 "$root/1-before.png"
press btnSetUp
wait_for '^install button: 正在安装' 100
"$shooter" --title Form1 "$root/2-during.png"
wait_for '^install button: 立即' 1200
"$shooter" --title Form1 "$root/3-after.png"
grep -q '^install button: 立即体验' "$out" || { echo "demo: the installation failed" >&2; exit 1; }
press btnSetUp
# The launch button starts the module program and closes the window.
for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$pid" 2>/dev/null; then echo "demo: the window did not close" >&2; exit 1; fi
wait "$pid"
trap - EXIT
