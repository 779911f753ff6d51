#!/usr/bin/env bash
# Builds the Windows ZIP with CPack and checks what it holds: the program, the
# README and the man page as plain text, in one folder. Unpacked, the program
# is run as it is (under the emulator given, Wine) and makes the normal
# transcript.
#   package_zip_test.sh BUILD_DIR SOURCE_DIR EMULATOR
set -euo pipefail
build=$1
source=$2
emulator=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$work" && cpack --config "$build/CPackConfig.cmake" -B "$work/out") >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack"; }
zips=("$work"/out/*.zip)
[ "${#zips[@]}" -eq 1 ] || fail "expected one ZIP, got: ${zips[*]}"
[ "$(basename "${zips[0]}")" = modsin-1.0.0-win32.zip ] || fail "ZIP name: $(basename "${zips[0]}")"

files=$(cmake -E tar tf "${zips[0]}" | grep -v '/$' | sort)
want="modsin-1.0.0-win32/README.md
modsin-1.0.0-win32/modsin.exe
modsin-1.0.0-win32/modsin.txt"
[ "$files" = "$want" ] || fail "ZIP contents: $files"

mkdir "$work/unpacked"
(cd "$work/unpacked" && cmake -E tar xf "${zips[0]}")
folder=$work/unpacked/modsin-1.0.0-win32
cmp -s "$folder/README.md" "$source/README.md" || fail "the README differs from the source's"
grep -qx 'NAME' "$folder/modsin.txt" || fail "the man page text has no NAME section"
if grep -q $'\e\|\b' "$folder/modsin.txt"; then fail "the man page text holds escapes or overstrikes"; fi

(cd "$folder" && "$emulator" ./modsin.exe </dev/null >"$work/transcript.txt") ||
  fail "the unpacked program ended with exit code $?"
cmp -s "$work/transcript.txt" "$source/tests/e2e/golden/transcript.txt" ||
  fail "the unpacked program's transcript differs"
echo "the ZIP holds modsin.exe, the README and the man page text, and the program runs as it is"
