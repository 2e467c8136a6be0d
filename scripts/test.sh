#!/usr/bin/env bash
# Builds every target and runs every test: Linux with AddressSanitizer and
# UndefinedBehaviorSanitizer, the Windows x86_64 twin under Wine, and the i686 product
# build. Exits non-zero when any of them fails.
set -uo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
ensure_wine_prefix

jobs=$(nproc)
failed=()
step() {
  local name=$1
  shift
  echo "== $name"
  if ! "$@"; then failed+=("$name"); fi
}

step "linux-debug: configure" cmake --preset linux-debug
step "linux-debug: build" cmake --build --preset linux-debug -j "$jobs"
step "linux-debug: test" ctest --preset linux-debug -j "$jobs"

step "win64-test: configure" cmake --preset win64-test
step "win64-test: build" cmake --build --preset win64-test -j "$jobs"
step "win64-test: test (Wine)" ctest --preset win64-test

step "win32-release: configure" cmake --preset win32-release
step "win32-release: build" cmake --build --preset win32-release -j "$jobs"

if [ ${#failed[@]} -gt 0 ]; then
  echo "== FAILED: ${failed[*]}"
  exit 1
fi
echo "== all targets built and all tests passed"
