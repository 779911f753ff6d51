#!/usr/bin/env bash
# The README's examples are the programs' real ones: its transcript and table
# lines are those of a normal run and of modsin-table, its picture exists, and
# its C++ example is the consumer program that the install test builds and
# runs, and its Python example, where the build made the module, prints what
# the README says it prints.
#   readme_test.sh SOURCE_DIR MODSIN_TABLE [PYTHON PACKAGE_FOLDER]
set -euo pipefail
source=$1
table_program=$2
python=${3:-}
packages=${4:-}
readme=$source/README.md
golden=$source/tests/e2e/golden

fail() { echo "FAIL: $*" >&2; exit 1; }

{ tr -d '\r' <"$golden/transcript.txt"; head -n 5 "$golden/ModSinOutput.dat" | tr -d '\r'; } |
  while IFS= read -r line; do
    grep -qxF -- "$line" "$readme" || fail "the README lacks the line: $line"
  done

"$table_program" --to 10 --format csv | head -n 4 | while IFS= read -r line; do
  grep -qxF -- "$line" "$readme" || fail "the README lacks the CSV line: $line"
done

grep -o '](docs/[^)]*)' "$readme" | tr -d '()]' | while read -r picture; do
  [ -f "$source/$picture" ] || fail "the README shows a missing file: $picture"
done
grep -q '](docs/modsin-tables.png)' "$readme" || fail "the README does not show the picture"

# The example is the consumer without its opening comment.
example=$(sed -n '/^```cpp$/,/^```$/p' "$readme" | sed '1d;$d')
consumer=$(sed '/^\/\//d' "$source/tests/install/consumer/Consumer.cpp")
[ "$example" = "$consumer" ] ||
  { diff <(echo "$example") <(echo "$consumer") || true; fail "the README's C++ example is not the consumer"; }
# The Python example, run from the build tree, prints the text block that
# follows it.
if [ -n "$python" ]; then
  script=$(sed -n '/^```python$/,/^```$/p' "$readme" | sed '1d;$d')
  [ -n "$script" ] || fail "the README has no Python example"
  printed=$(sed -n '/^```python$/,$p' "$readme" | sed -n '/^```text$/,/^```$/p' | sed '1d;$d')
  got=$(PYTHONPATH=$packages "$python" -c "$script") ||
    fail "the README's Python example failed: $got"
  [ "$got" = "$printed" ] ||
    { diff <(echo "$printed") <(echo "$got") || true; fail "the README's Python example prints otherwise"; }
fi
echo "the README's transcript, table, picture and C++ example are the real ones"
