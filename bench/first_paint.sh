#!/usr/bin/env bash
# Time from process start to the window's first complete paint, on the demo sandbox
# (run scripts/demo.sh once first): the headless host and the X11 host under Xvfb.
# "First complete paint": the whole window composed and handed to the host (for X11:
# XPutImage sent and flushed to the server). Prints the median and the worst of N runs.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-15}  # bench/first_paint.sh [RUNS]
setup=$PWD/demo/setup/Setup
[ -x "$setup" ] || { echo "run scripts/demo.sh first (it builds demo/setup/Setup)" >&2; exit 1; }
export INSTALLER_REGISTRY_FILE=$PWD/demo/registry.reg WINEPREFIX=$PWD/demo/no-wine-prefix

measure() {  # prints one figure in milliseconds
  local start end
  start=$(date +%s%3N)
  end=$(cd demo/setup && INSTALLER_FIRST_PAINT=exit ./Setup | sed -n 's/^first paint at //p')
  echo $((end - start))
}

report() {
  local name=$1
  shift
  local figures=()
  for _ in $(seq "$runs"); do figures+=("$("$@")"); done
  printf '%s\n' "${figures[@]}" | sort -n | awk -v name="$name" '
    { v[NR] = $1 } END { printf "%-22s median %4d ms, worst %4d ms (%d runs)\n", name, v[int((NR + 1) / 2)], v[NR], NR }'
}

if [ "${2:-}" = --x11 ]; then  # inside xvfb-run
  report "X11 host under Xvfb" measure
  exit
fi
INSTALLER_UI_HOST=headless report "headless host" measure
xvfb-run -a -s "-screen 0 1280x800x24" bash "$0" "$runs" --x11
