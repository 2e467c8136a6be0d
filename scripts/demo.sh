#!/usr/bin/env bash
# Builds the installer and runs it on a demo sandbox in demo/: a fake host installation,
# a registry file pointing at it, Config.ini with the log switched on. Prints what the
# installer found and the log lines it wrote.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh

cmake --preset linux-release >/dev/null
cmake --build --preset linux-release --target Setup -j "$(nproc)"

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
echo "== running $root/setup/Setup"
(cd "$root/setup" && ./Setup)
echo "== log lines written (demo/setup/log/):"
for f in "$root"/setup/log/*.log; do
  [ -e "$f" ] || { echo "(none)"; break; }
  echo "-- $(basename "$f")"
  iconv -f GBK -t UTF-8 "$f" | tr -d '\r'
done
