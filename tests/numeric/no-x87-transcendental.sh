#!/usr/bin/env bash
# Fails if the archive given holds an x87 transcendental instruction: their
# results are not correctly rounded and differ between processors, so the
# core library computes its exponential, logarithm and sine without them.
# Names each instruction found and the function it sits in.
# Usage: no-x87-transcendental.sh OBJDUMP libmodsin.a
# OBJDUMP is the objdump of the archive's platform (the cross objdump for the
# Windows build).
set -euo pipefail
listing=$("$1" -d -C --no-show-raw-insn "$2")
# A function starts at "0000000000000270 <modsin::Exponential(long double)>:";
# an instruction line is "  2bc:<TAB>f2xm1" (GNU's objdump: operands after a
# space) or "  2bc:    <TAB>f2xm1" (LLVM's: spaces before the tab, operands
# after another tab).
instruction=$'^ *[0-9a-f]+: *\t'
if ! grep -qE "$instruction" <<<"$listing"; then
  echo "no instruction disassembled from $2: not the objdump of its platform?" >&2
  exit 1
fi
report=$(awk -v instruction="$instruction" '
  /^[0-9a-f]+ <.*>:$/ { name = substr($0, index($0, "<") + 1); sub(/>:$/, "", name); next }
  $0 ~ instruction {
    split($0, fields, "\t"); split(fields[2], words, " ")
    if (words[1] ~ /^(f2xm1|fyl2x|fyl2xp1|fsin|fcos|fsincos|fptan|fpatan)$/)
      print words[1] " in " name
  }
' <<<"$listing" | sort -u)
if [ -n "$report" ]; then
  echo "the core library uses x87 transcendental instructions:" >&2
  echo "$report" >&2
  exit 1
fi
