#!/usr/bin/env bash
# Runs one Windows test executable under Wine for ctest.
#
# Wine starts helper processes (wineserver, winedevice, ...) that may outlive the test and
# inherit its standard output. Were that ctest's pipe, ctest would wait for them until its
# timeout although the test had ended. So the test writes into a file, this script waits
# for the test process alone, then passes the output and the exit status on.
set -u
out=$(mktemp "${TMPDIR:-/tmp}/wine-run.XXXXXX")
trap 'rm -f "$out"' EXIT
timeout --kill-after=10 "${WINE_RUN_TIMEOUT:-900}" wine "$@" </dev/null >"$out" 2>&1
status=$?
cat "$out"
[ "$status" -eq 124 ] && echo "wine-run: the test did not end within ${WINE_RUN_TIMEOUT:-900} s" >&2
exit "$status"
