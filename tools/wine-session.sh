#!/usr/bin/env bash
# Runs a command with one Wine session around it: the prefix made if missing,
# the server and Wine's background services started once, and all of them
# ended afterwards. Exits with the command's status.
#   tools/wine-session.sh COMMAND [ARG]...
# WINEPREFIX names the prefix (the Makefile puts it under build/windows).
#
# Why: Wine starts its services on first use, and they inherit the standard
# output of the program that started them. Under CTest they would hold each
# test's output pipe open until they exit, about 2 s after the last Wine
# process: 2 s per test. Started here with their streams on /dev/null, they
# serve every test, which then takes some 40 ms under Wine.
set -euo pipefail
: "${WINEPREFIX:?set WINEPREFIX to the Wine prefix to use}"
export WINEPREFIX
export WINEDEBUG=${WINEDEBUG:--all}

# wineboot returns before the prefix is complete: the server writes the
# registry files when it exits, which wineserver -w waits for.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "making the Wine prefix $WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  wineboot -i </dev/null >/dev/null 2>&1
  wineserver -w </dev/null >/dev/null 2>&1
fi
# Fails when a server already runs for the prefix, which serves as well.
wineserver -p </dev/null >/dev/null 2>&1 || true
trap 'wineserver -k </dev/null >/dev/null 2>&1 || true' EXIT
wine cmd /c exit </dev/null >/dev/null 2>&1

status=0
"$@" || status=$?
exit "$status"
