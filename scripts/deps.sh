#!/usr/bin/env bash
# Installs what building, testing and running need, only where it is missing
# (Debian packages), and prepares the Chinese locale and the Wine prefix.
# Sourced by the other scripts; safe to run again.
set -euo pipefail

# Packages for: both toolchains, the libraries, the Windows twin's runner, the X server
# for the window, fonts, and the zip tools the tests and benchmarks compare against.
INSTALLER_PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  libgtest-dev googletest zlib1g-dev libpng-dev libfreetype-dev libfontconfig-dev libx11-dev libgtk-3-dev
  fonts-wqy-microhei
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix libz-mingw-w64-dev
  wine wine64 locales
  xvfb xauth zip unzip libarchive-tools p7zip-full python3
  xdotool openbox
)

missing_packages() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || echo "$p"
  done
}

ensure_packages() {
  local missing
  missing=$(missing_packages "$@")
  [ -z "$missing" ] && return 0
  echo "== installing: $missing"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get update -q
  # shellcheck disable=SC2086
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q $missing
}

# Wine maps non-ASCII file names through the Unix locale: zh_CN.UTF-8 must exist.
ensure_chinese_locale() {
  locale -a 2>/dev/null | grep -qi '^zh_CN\.utf8$' && return 0
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  if ! grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    echo 'zh_CN.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  fi
  $sudo locale-gen >/dev/null
}

# The first Wine start creates the prefix, which is slow: do it once, up front, and wait
# until its wineserver has gone, so that no process of the set-up outlives it.
ensure_wine_prefix() {
  export WINEDEBUG=-all
  if [ ! -f "${WINEPREFIX:-$HOME/.wine}/system.reg" ]; then
    echo "== creating the Wine prefix"
    LC_ALL=zh_CN.UTF-8 wineboot -i </dev/null >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
  fi
}

ensure_packages "${INSTALLER_PACKAGES[@]}"
ensure_chinese_locale
