#!/usr/bin/env bash
# What the window costs on a long installation: the time from the press of the install
# button to the launch caption, on the X11 host under Xvfb, against `extract-archive -x`
# of the same archive into the same kind of host folder. Runs alternate, one of each per
# round; prints every pair and the median of each. Uses the demo's archive and build
# (run scripts/demo.sh once first).
#   bench/install_time.sh [ROUNDS]
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-5}
root=$PWD/demo
build=$PWD/build/linux-release
[ -x "$root/setup/Setup" ] || { echo "run scripts/demo.sh first" >&2; exit 1; }
cmake --build --preset linux-release --target extract-archive >/dev/null

if [ "${2:-}" != --inside ]; then
  exec xvfb-run -a -s "-screen 0 1280x800x24" bash "$0" "$rounds" --inside
fi

export INSTALLER_REGISTRY_FILE=$root/registry.reg WINEPREFIX=$root/no-wine-prefix
host="$root/host/Lumora软件"
fresh_host() {
  rm -rf "$host"
  mkdir -p "$host/AppModules/Pellix" "$host/AppModules/Dunmar/Data"
  printf 'MZ host main program 3.0\n' >"$host/Lumoranew.exe"
  printf 'user database\n' >"$host/AppModules/Dunmar/Data/Data.db"
  sync
}
now() { date +%s%N; }

window_run() {  # milliseconds from the press to the launch caption
  # The window's lines come through a pipe and are read as they arrive: no polling that
  # would take the processor from the installation.
  local fifo=$root/bench-window.fifo pid line wx= wy= place start= end= outcome=
  rm -f "$fifo" && mkfifo "$fifo"
  (cd "$root/setup" && INSTALLER_DESCRIBE=1 exec ./Setup >"$fifo" 2>/dev/null) &
  pid=$!
  exec 8<"$fifo"
  while IFS= read -r -t 120 -u 8 line; do
    case $line in
      window*) read -r wx wy < <(sed -n 's/^window .* at \([0-9-]*\),\([0-9-]*\),.*/\1 \2/p' <<<"$line") ;;
      *btnSetUp*) place=$line ;;
      archive:*)
        read -r cx cy cw ch < <(awk '{ split($2, p, ","); split($3, s, "x"); print p[1], p[2], s[1], s[2] }' <<<"$place")
        xdotool mousemove $((wx + cx + cw / 2)) $((wy + cy + ch / 2))
        start=$(now)
        xdotool click 1 ;;
      "install button: 立即"*) end=$(now); outcome=$line; break ;;
    esac
  done
  exec 8<&-
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  rm -f "$fifo"
  [ "$outcome" = "install button: 立即体验" ] || { echo "the installation failed" >&2; exit 1; }
  echo $(((end - start) / 1000000))
}

tool_run() {  # milliseconds of extract-archive -x
  local start end
  start=$(now)
  "$build/tools/extract-archive" -x "$root/setup/InstallSource.dat" "$host" >/dev/null
  end=$(now)
  echo $(((end - start) / 1000000))
}

windows=() tools=()
for round in $(seq "$rounds"); do
  fresh_host
  w=$(window_run)
  fresh_host
  t=$(tool_run)
  windows+=("$w") tools+=("$t")
  printf 'round %d: window %5d ms   extract-archive -x %5d ms   ratio %s\n' "$round" "$w" "$t" \
    "$(awk -v a="$w" -v b="$t" 'BEGIN { printf "%.3f", a / b }')"
done
median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
mw=$(median "${windows[@]}") mt=$(median "${tools[@]}")
printf 'median: window %d ms, extract-archive -x %d ms, ratio %s\n' "$mw" "$mt" \
  "$(awk -v a="$mw" -v b="$mt" 'BEGIN { printf "%.3f", a / b }')"
fresh_host
