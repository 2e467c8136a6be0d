#!/usr/bin/env bash
# Builds the installer and runs it on a demo sandbox in demo/: a fake host installation,
# a registry file pointing at it, Config.ini with the log switched on. With a display the
# window opens; without one it runs under Xvfb and a screenshot is saved in
# demo/screenshot.png. Prints what the window shows and the log lines it wrote.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh

cmake --preset linux-release >/dev/null
cmake --build --preset linux-release --target Setup ui-screenshot -j "$(nproc)"

root=$PWD/demo
rm -rf "$root"
host="$root/host/Lumora软件"
mkdir -p "$host/AppModules/Pellix" "$host/AppModules/Dunmar/Data" "$root/setup"
printf 'MZ host main program\n' >"$host/Lumoranew.exe"
printf 'host database\n' >"$host/AppModules/Dunmar/Data/Data.db"

cp build/linux-release/installer/Setup "$root/setup/Setup"
printf '[system]\r\ndebug=1\r\n' >"$root/setup/Config.ini"

# The drive map is the default one (C: is /), not a Wine prefix's, so that the recorded
# path below is the one the installer maps back.
export WINEPREFIX="$root/no-wine-prefix"
winpath="C:$(printf '%s' "$host" | tr '/' '\\')"
regvalue=$(printf '%s' "$winpath" | sed 's/\\/\\\\/g')
{
  printf 'REGEDIT4\r\n\r\n'
  printf '[HKEY_CURRENT_USER\\SOFTWARE\\Norvell\\Lumora3.0]\r\n'
  printf '"InstalledPath"="%s"\r\n' "$regvalue"
} | iconv -f UTF-8 -t GBK >"$root/registry.reg"
export INSTALLER_REGISTRY_FILE="$root/registry.reg"

echo "== sandbox: $root"
echo "== registry: HKCU\\SOFTWARE\\Norvell\\Lumora3.0 InstalledPath = $winpath"
shooter=$PWD/build/linux-release/platform/ui/ui-screenshot
echo "== running $root/setup/Setup"
if [ -n "${DISPLAY:-}" ] && "$shooter" --check; then
  # A desktop: the window opens; the demo goes on when it is closed.
  echo "   (the window is open on $DISPLAY; close it with its close button to go on)"
  (cd "$root/setup" && INSTALLER_DESCRIBE=1 ./Setup)
elif command -v xvfb-run >/dev/null; then
  # No display: a virtual X server, a screenshot of the window, then the window is closed
  # as a window manager would close it.
  shot="$root/screenshot.png"
  xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
    root=$1 shooter=$2 shot=$3
    (cd "$root/setup" && INSTALLER_DESCRIBE=1 exec ./Setup >"$root/window.txt" 2>&1) &
    pid=$!
    for _ in $(seq 100); do grep -q "^archive:" "$root/window.txt" 2>/dev/null && break; sleep 0.1; done
    "$shooter" --title Form1 --wait 5000 "$shot"
    status=$?
    "$shooter" --close Form1 || kill "$pid"
    wait "$pid" || true
    exit $status' _ "$root" "$shooter" "$shot"
  cat "$root/window.txt"
  echo "== screenshot of the window (under Xvfb): $shot"
else
  echo "== no display and no Xvfb: install the Debian packages xvfb and xauth" \
       "(apt-get install xvfb xauth) to see the window" >&2
  exit 1
fi
echo "== log lines written (demo/setup/log/):"
for f in "$root"/setup/log/*.log; do
  [ -e "$f" ] || { echo "(none)"; break; }
  echo "-- $(basename "$f")"
  iconv -f GBK -t UTF-8 "$f" | tr -d '\r'
done
