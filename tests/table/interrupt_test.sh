#!/usr/bin/env bash
# Ctrl-C while modsin-table writes its temporary file leaves no temporary file
# behind. Wine hands a Windows program a SIGINT as Ctrl-C, so the signal is
# sent from here, outside Wine, once the temporary file is there. Exits 77
# (skipped) when the table was complete before the signal came.
#   interrupt_test.sh EMULATOR PROGRAM
set -euo pipefail
emulator=$1
program=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/out"
cd "$work/out"

fail() { cat "$work/err" >&2; echo "FAIL: $*" >&2; exit 1; }

# About 600,000 nodes: some 30 MB to write, which takes a while.
"$emulator" "$program" -o t.dat --to 70 --dx 1e-9 --dy 1e-5 --max-nodes 100000000 \
  --max-seeds 100000 </dev/null >/dev/null 2>"$work/err" &
child=$!
until compgen -G '.modsin-table-*' >/dev/null; do
  kill -0 "$child" 2>/dev/null || fail "the program ended before its temporary file appeared"
  sleep 0.005
done
kill -INT "$child"
# Wine ends the process with exit code 0 where Windows gives 0xC000013A
# (STATUS_CONTROL_C_EXIT), so the code tells nothing.
wait "$child" || true
left=$(ls -A)
[ "$left" != t.dat ] || { echo "skipped: the signal came after the rename"; exit 77; }
[ -z "$left" ] || fail "left behind: $left"
echo "Ctrl-C removed the temporary file"
