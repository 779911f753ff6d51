#!/usr/bin/env bash
# A Windows program of ours is of the build's format, PE32 for the 32-bit
# build and PE32+ for the 64-bit one, and needs no DLL beyond Windows' own:
# kernel32 and msvcrt, the C run-time library that every Windows has. The C++
# run-time library and winpthread are linked in. None of its numbers come
# from msvcrt either: it imports no mathematical function and no conversion
# of text to a number. (The run-time libraries import printf for their own
# messages; the numbers of the tables are written by our own code, which the
# golden copies hold to the byte.)
# It runs with ASLR and DEP: its DllCharacteristics say DYNAMIC_BASE and
# NX_COMPAT, and HIGH_ENTROPY_VA in the 64-bit build, and it keeps its base
# relocations, without which Windows cannot move it and DYNAMIC_BASE is idle.
#   imports_test.sh OBJDUMP PE32|PE32+ PROGRAM.exe...
set -euo pipefail
objdump=$1
format=$2
shift 2

fail() { echo "FAIL: $*" >&2; exit 1; }
imports=$(mktemp)
trap 'rm -f "$imports"' EXIT

for program in "$@"; do
  name=$(basename "$program")
  "$objdump" -p "$program" >"$imports" || fail "$objdump cannot read $name"
  # The optional header's magic: 010b (PE32) or 020b (PE32+).
  magic=$(awk '$1 == "Magic" { print $3; exit }' "$imports")
  [ "$magic" = "($format)" ] || fail "$name is $magic, not $format"
  dlls=$(awk '/DLL Name:/ { print tolower($3) }' "$imports" | sort -u | tr '\n' ' ')
  [ "$dlls" = "kernel32.dll msvcrt.dll " ] || fail "$name imports: $dlls"
  # The import table lists each function as: hint, ordinal... name.
  numeric=$(awk '/DLL Name: msvcrt/ { inside = 1; next } /DLL Name:/ { inside = 0 }
    inside && NF >= 3 && $1 ~ /^[0-9a-f]+$/ { print $NF }' "$imports" |
    grep -E '^_*(a?(sin|cos|tan)h?|atan2|exp|log(10)?|pow|sqrt|floor|ceil|fmod|modf|frexp|ldexp|strto[dlf]|ato[fl]|ecvt|fcvt|gcvt)l?$' || true)
  [ -z "$numeric" ] || fail "$name takes numeric functions from msvcrt: $numeric"
  # The header's flags, in hex: Characteristics 0x0001 is "relocations
  # stripped"; DllCharacteristics 0x0020 HIGH_ENTROPY_VA, 0x0040 DYNAMIC_BASE,
  # 0x0100 NX_COMPAT.
  characteristics=$(awk '$1 == "Characteristics" { print $2; exit }' "$imports")
  dll=$(awk '$1 == "DllCharacteristics" { print $2; exit }' "$imports")
  [[ $characteristics =~ ^(0x)?[0-9a-fA-F]+$ && $dll =~ ^[0-9a-fA-F]+$ ]] ||
    fail "$name: no Characteristics or DllCharacteristics in the header"
  wanted=$((0x40 | 0x100))
  [ "$format" = PE32+ ] && wanted=$((wanted | 0x20))
  (((0x$dll & wanted) == wanted)) ||
    fail "$name: DllCharacteristics $dll lacks some of $(printf '%04x' $wanted)"
  ((($characteristics & 1) == 0)) || fail "$name has its relocations stripped"
  # Data directory entry 5: the base relocations' address and size.
  relocations=$(awk '$1 == "Entry" && $2 == "5" { print $4; exit }' "$imports")
  [[ $relocations =~ ^[0-9a-fA-F]+$ ]] && ((0x$relocations > 0)) ||
    fail "$name has no base relocations (.reloc)"
  echo "$name is $format, imports kernel32.dll and msvcrt.dll only, and no numeric function;"
  echo "  DllCharacteristics $dll, base relocations 0x$relocations bytes"
done
