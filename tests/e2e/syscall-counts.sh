#!/usr/bin/env bash
# Counts the system calls of a normal run with standard output redirected to a
# file: one write per full 128-byte buffer and one for the rest at the close,
# for each table and for the transcript, one read of standard input, and none
# per line. A regression of the buffering fails here without any timing.
# Usage: syscall-counts.sh <modsin> <folder of the checked-in output copies>
set -euo pipefail

# CTest reads this exit code as "skipped".
readonly kSkip=77

program=$(realpath "$1")
golden=$(realpath "$2")

# Outside CI a machine without strace, or one that forbids tracing, skips the
# test; CI installs strace and must run it.
unavailable() {
  if [ -n "${CI:-}" ]; then
    echo "FAIL: $1" >&2
    exit 1
  fi
  echo "SKIPPED: $1"
  exit "$kSkip"
}
command -v strace >/dev/null || unavailable "strace is missing (apt-get install strace)"

work=$(realpath "$(mktemp -d)")
trap 'rm -rf "$work"' EXIT
cd "$work"
strace -f -qq -y -e trace=read,write -o trace.txt "$program" </dev/null >transcript.txt ||
  unavailable "strace cannot trace the program here (see above)"

failures=0
expect() {  # what, expected count, actual count
  if [ "$2" -eq "$3" ]; then
    echo "ok: $3 $1"
  else
    echo "FAIL: $1: expected $2, got $3"
    failures=$((failures + 1))
  fi
}
# -y shows each descriptor with its path: write(3</tmp/x/ModSinOutput.dat>, ...
count() { grep -cE "$1" trace.txt || true; }

# The run must be a normal one, or the counts mean nothing.
for file in ModSinOutput.dat ModSinOutput2.dat transcript.txt; do
  cmp -s "$file" "$golden/$file" || { echo "FAIL: $file differs from its checked-in copy"; failures=$((failures + 1)); }
done

# 6228 bytes: 48 full buffers and 84 bytes; 22692 bytes: 177 and 36; the
# 147-byte transcript: 1 and 19.
expect "writes of ModSinOutput.dat" 49 "$(count "^([0-9]+ +)?write\([0-9]+<$work/ModSinOutput\.dat>")"
expect "writes of ModSinOutput2.dat" 178 "$(count "^([0-9]+ +)?write\([0-9]+<$work/ModSinOutput2\.dat>")"
expect "writes of the transcript" 2 "$(count "^([0-9]+ +)?write\([0-9]+<$work/transcript\.txt>")"
expect "reads of standard input" 1 "$(count '^([0-9]+ +)?read\(0<')"
expect "writes in all" 229 "$(count '^([0-9]+ +)?write\(')"

if [ "$failures" -ne 0 ]; then
  echo "--- trace of the run ---"
  cat trace.txt
  exit 1
fi
