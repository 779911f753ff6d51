#!/usr/bin/env bash
# The man page renders without a single groff warning, and shows the program's
# real transcript and the real first lines of its first table.
#   man_page_test.sh SOURCE_DIR
set -euo pipefail
source=$1
page=$source/docs/modsin.1
golden=$source/tests/e2e/golden
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

groff -man -Tutf8 -ww "$page" >"$work/page.txt" 2>"$work/warnings.txt"
[ ! -s "$work/warnings.txt" ] || { cat "$work/warnings.txt"; fail "groff warns"; }
# Plain text (no escape sequences, no overstrikes), the TAB arrow back to a TAB.
groff -man -Tutf8 -P-cbou "$page" | sed 's/→/\t/g' >"$work/plain.txt"

for section in NAME SYNOPSIS DESCRIPTION TRANSCRIPT "STATUS CODES" FILES \
  "FAILURE REPORT" "EXIT STATUS" EXAMPLES; do
  grep -qx "$section" "$work/plain.txt" || fail "no section $section"
done

# Every transcript line, and the header and first three node lines of the table.
{ tr -d '\r' <"$golden/transcript.txt"; head -n 4 "$golden/ModSinOutput.dat" | tr -d '\r'; } |
  while IFS= read -r line; do
    grep -qF -- "$line" "$work/plain.txt" || fail "the page lacks the line: $line"
  done
echo "the man page renders cleanly and shows the real transcript and table"
