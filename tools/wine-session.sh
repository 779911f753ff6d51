#!/usr/bin/env bash
# Runs a command with one Wine session around it: the prefix made if missing,
# the server and Wine's background services started once, and all of them
# ended afterwards. Exits with the command's status.
#   tools/wine-session.sh COMMAND [ARG]...
# WINEPREFIX names the prefix (the Makefile puts it under build/windows or
# build/windows64), MODSIN_WINE the Wine loader that starts Windows programs:
# wine (Debian's, which starts the 32-bit loader where wine32 is installed)
# unless set, /usr/lib/wine/wine64 for the 64-bit build. One wineserver serves
# both widths.
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
wine=${MODSIN_WINE:-wine}

# wineboot returns before the prefix is complete: the server writes the
# registry files when it exits, which wineserver -w waits for.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "making the Wine prefix $WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  "$wine" wineboot -i </dev/null >/dev/null 2>&1
  wineserver -w </dev/null >/dev/null 2>&1
fi
# Fails when a server already runs for the prefix, which serves as well.
wineserver -p </dev/null >/dev/null 2>&1 || true
trap 'wineserver -k </dev/null >/dev/null 2>&1 || true' EXIT
"$wine" cmd /c exit </dev/null >/dev/null 2>&1

status=0
"$@" || status=$?
exit "$status"
