#!/usr/bin/env bash
# The man pages render without a single groff warning and have their sections;
# modsin.1 shows the program's real transcript and the real first lines of its
# first table, and modsin-table.1 every option of the program's usage and the
# real first lines of a CSV table.
#   man_page_test.sh SOURCE_DIR MODSIN_TABLE
set -euo pipefail
source=$1
table_program=$2
golden=$source/tests/e2e/golden
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

# render PAGE: the page as plain text in $work/plain.txt (no escape sequences,
# no overstrikes, the TAB arrow back to a TAB), after a check for warnings.
render() {
  groff -man -Tutf8 -ww "$1" >"$work/page.txt" 2>"$work/warnings.txt"
  [ ! -s "$work/warnings.txt" ] || { cat "$work/warnings.txt"; fail "groff warns on $1"; }
  groff -man -Tutf8 -P-cbou "$1" | sed 's/→/\t/g' >"$work/plain.txt"
}
has_sections() {
  for section in "$@"; do
    grep -qx "$section" "$work/plain.txt" || fail "no section $section"
  done
}
has_lines() {
  while IFS= read -r line; do
    grep -qF -- "$line" "$work/plain.txt" || fail "the page lacks the line: $line"
  done
}

render "$source/docs/modsin.1"
has_sections NAME SYNOPSIS DESCRIPTION TRANSCRIPT "STATUS CODES" FILES "FAILURE REPORT" \
  "EXIT STATUS" EXAMPLES
# Every transcript line, and the header and first three node lines of the table.
{ tr -d '\r' <"$golden/transcript.txt"; head -n 4 "$golden/ModSinOutput.dat" | tr -d '\r'; } |
  has_lines

render "$source/docs/modsin-table.1"
has_sections NAME SYNOPSIS DESCRIPTION OPTIONS "THE FILE WRITTEN" "EXIT STATUS" DIAGNOSTICS \
  EXAMPLES
"$table_program" --help | grep -oE -- '--[a-z-]+' | sort -u | has_lines
"$table_program" --to 10 --format csv | head -n 4 | has_lines
echo "the man pages render cleanly and show the real transcript, tables and options"
