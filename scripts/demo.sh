#!/usr/bin/env bash
# Builds the installer and upgrades a demo sandbox in demo/: a host installation with the
# user's database, a registry file pointing at it, Config.ini with the log switched on,
# and an upgrade archive of about 250 MB (so that the progress can be seen).
#
# With a display the window opens for the user. Without one it runs under Xvfb and is
# driven as a user would: a screenshot before, a press of the install button, one during
# the extraction and one after, then a press of the launch button. Either way the demo
# then prints what changed in the host folder, the database before and after, and the
# start record of the host's module program.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh

cmake --preset linux-release >/dev/null
cmake --build --preset linux-release --target Setup folder-chooser ui-screenshot -j "$(nproc)"
build=$PWD/build/linux-release

root=$PWD/demo
rm -rf "$root"
host="$root/host/Lumora软件"
mkdir -p "$host/AppModules/Pellix" "$host/AppModules/Dunmar/Data" "$root/setup"

# The installation before the upgrade. Orvanta_QN.exe, the module program the installer
# launches, is a script that records its start.
printf 'MZ host main program 3.0\n' >"$host/Lumoranew.exe"
printf 'Pellix module 3.0\n' >"$host/AppModules/Pellix/Pellix.dll"
printf 'user database: 42 projects, last opened 2026-12-01\n' >"$host/AppModules/Dunmar/Data/Data.db"
printf '[view]\r\nzoom=125\r\n' >"$host/AppModules/Dunmar/Data/settings.ini"
cat >"$host/Orvanta_QN.exe" <<EOF
#!/bin/sh
echo "Orvanta_QN.exe started at \$(date '+%H:%M:%S') in \$PWD" >>"$root/launched.txt"
EOF
chmod +x "$host/Orvanta_QN.exe"

# The upgrade archive: new versions of the main program and the module, a database of
# its own (which must not replace the user's) and the machine's largest libraries as
# the module's payload. Built once with Info-ZIP zip and kept in the build folder.
archive="$build/demo/InstallSource-v1.dat"
if [ ! -s "$archive" ]; then
  echo "== building the upgrade archive (once)"
  stage="$build/demo/stage"
  rm -rf "$stage" && mkdir -p "$stage/AppModules/Pellix/lib" "$stage/AppModules/Dunmar/Data"
  printf 'MZ host main program 3.1\n' >"$stage/Lumoranew.exe"
  printf 'Pellix module 3.1\n' >"$stage/AppModules/Pellix/Pellix.dll"
  printf 'empty database shipped with 3.1\n' >"$stage/AppModules/Dunmar/Data/Data.db"
  printf 'Lumora 3.1: what is new\r\n' >"$stage/readme.txt"
  total=0
  while read -r size path; do
    [ $((total + size)) -gt $((250 << 20)) ] && continue
    ln -s "$path" "$stage/AppModules/Pellix/lib/$(basename "$path")"
    total=$((total + size))
  done < <(find /usr/lib/x86_64-linux-gnu /usr/lib -maxdepth 1 -type f -printf '%s %p\n' | sort -rn)
  rm -f "$archive.part"
  (cd "$stage" && zip -q -r -6 "$archive.part" .)
  mv "$archive.part" "$archive"
  rm -rf "$stage"
fi
cp "$archive" "$root/setup/InstallSource.dat"
cp "$build/installer/Setup" "$build/installer/folder-chooser" "$root/setup/"
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

# Every file of the host folder with its checksum, sorted by name.
snapshot() { (cd "$host" && find . -type f -printf '%P\0' | sort -z | xargs -0 sha256sum); }
snapshot >"$root/before.txt"
database_before=$(cat "$host/AppModules/Dunmar/Data/Data.db")

echo "== sandbox: $root"
echo "== registry: HKCU\\SOFTWARE\\Norvell\\Lumora3.0 InstalledPath = $winpath"
echo "== archive: $root/setup/InstallSource.dat ($(du -h "$archive" | cut -f1))"
shooter=$build/ui/ui-screenshot
echo "== running $root/setup/Setup"
if [ -n "${DISPLAY:-}" ] && "$shooter" --check; then
  echo "   (the window is open on $DISPLAY: press 立即安装, then 立即体验, or close it)"
  (cd "$root/setup" && INSTALLER_DESCRIBE=1 ./Setup)
elif command -v xvfb-run >/dev/null; then
  timeout 300 xvfb-run -a -s "-screen 0 1280x800x24" bash scripts/demo_drive.sh \
    "$root" "$shooter" || { echo "== the driven run failed; its output:"; cat "$root/window.txt"; exit 1; }
  # The progress captions, one in ten.
  awk '/^install button: 正在安装/ { p = $NF; sub("%", "", p); if (p % 10) next } { print }' \
    "$root/window.txt"
  echo "== screenshots (under Xvfb): $root/1-before.png $root/2-during.png $root/3-after.png"
else
  echo "== no display and no Xvfb: install the Debian packages xvfb and xauth" \
       "(apt-get install xvfb xauth) to see the window" >&2
  exit 1
fi

snapshot >"$root/after.txt"
echo "== what changed in the host folder"
join -1 2 -2 2 -a 1 -a 2 -e - -o 0,1.1,2.1 <(sort -k2 "$root/before.txt") <(sort -k2 "$root/after.txt") |
  while read -r name old new; do
    if [ "$old" = - ]; then echo "   added      $name"
    elif [ "$new" = - ]; then echo "   removed    $name"
    elif [ "$old" != "$new" ]; then echo "   replaced   $name"
    else echo "   unchanged  $name"; fi
  done | sort -k1,1 -s | awk '
    function libraries() { if (libs) printf "   added      AppModules/Pellix/lib/ (%d libraries)\n", libs; libs = 0 }
    $1 == "added" && $2 ~ /^AppModules\/Pellix\/lib\// { libs++; next }
    $1 != "added" { libraries() }
    { print }
    END { libraries() }'
echo "== the database, AppModules/Dunmar/Data/Data.db"
echo "   before: $database_before"
echo "   after:  $(cat "$host/AppModules/Dunmar/Data/Data.db")"
[ -f "$host/AppModules/Dunmar/Data/Data_tmp.db" ] &&
  echo "   the copy beside it, Data_tmp.db: $(cat "$host/AppModules/Dunmar/Data/Data_tmp.db")"
echo "== the module program's start record ($root/launched.txt)"
for _ in $(seq 50); do [ -s "$root/launched.txt" ] && break; sleep 0.1; done
cat "$root/launched.txt" 2>/dev/null || echo "   (it did not start)"
echo "== log lines written (demo/setup/log/):"
for f in "$root"/setup/log/*.log; do
  [ -e "$f" ] || { echo "(none)"; break; }
  echo "-- $(basename "$f")"
  iconv -f GBK -t UTF-8 "$f" | tr -d '\r'
done
