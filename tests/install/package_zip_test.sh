#!/usr/bin/env bash
# Builds the Windows ZIP with CPack and checks what it holds: the programs,
# the README, the LICENSE and the man pages as plain text, in one folder.
# Unpacked, the programs are run as they are (under the emulator given, Wine):
# modsin makes the normal transcript, and modsin-table the second table on
# standard output.
# PLATFORM names the width in the ZIP's name: win32 or win64.
#   package_zip_test.sh BUILD_DIR SOURCE_DIR PLATFORM EMULATOR
set -euo pipefail
build=$1
source=$2
platform=$3
emulator=$4
name=modsin-1.0.0-$platform
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$work" && cpack --config "$build/CPackConfig.cmake" -B "$work/out") >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack"; }
zips=("$work"/out/*.zip)
[ "${#zips[@]}" -eq 1 ] || fail "expected one ZIP, got: ${zips[*]}"
[ "$(basename "${zips[0]}")" = "$name.zip" ] || fail "ZIP name: $(basename "${zips[0]}")"

files=$(cmake -E tar tf "${zips[0]}" | grep -v '/$' | sort)
want="$name/LICENSE
$name/README.md
$name/modsin-table.exe
$name/modsin-table.txt
$name/modsin.exe
$name/modsin.txt"
[ "$files" = "$want" ] || fail "ZIP contents: $files"

mkdir "$work/unpacked"
(cd "$work/unpacked" && cmake -E tar xf "${zips[0]}")
folder=$work/unpacked/$name
for f in README.md LICENSE; do
  cmp -s "$folder/$f" "$source/$f" || fail "the $f differs from the source's"
done
for page in modsin modsin-table; do
  grep -qx 'NAME' "$folder/$page.txt" || fail "the man page text $page.txt has no NAME section"
  if grep -q $'\e\|\b' "$folder/$page.txt"; then
    fail "the man page text $page.txt holds escapes or overstrikes"
  fi
done

(cd "$folder" && "$emulator" ./modsin.exe </dev/null >"$work/transcript.txt") ||
  fail "the unpacked program ended with exit code $?"
cmp -s "$work/transcript.txt" "$source/tests/e2e/golden/transcript.txt" ||
  fail "the unpacked program's transcript differs"
(cd "$folder" && "$emulator" ./modsin-table.exe --to 10 </dev/null >"$work/table.dat") ||
  fail "the unpacked modsin-table ended with exit code $?"
cmp -s "$work/table.dat" "$source/tests/e2e/golden/ModSinOutput2.dat" ||
  fail "the unpacked modsin-table's table differs"
echo "the ZIP holds both programs, the README, the LICENSE and the man page texts, and the programs run as they are"
