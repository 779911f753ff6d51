#!/usr/bin/env bash
# Builds the Debian package with CPack and checks what it holds and what it
# says of itself; the packaged program must then make a normal run.
#   package_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$work" && cpack --config "$build/CPackConfig.cmake" -B "$work/out") >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack"; }
debs=("$work"/out/*.deb)
[ "${#debs[@]}" -eq 1 ] || fail "expected one package, got: ${debs[*]}"
deb=${debs[0]}
[ "$(basename "$deb")" = modsin_1.0.0_amd64.deb ] || fail "package file name: $(basename "$deb")"

# Contents: the programs and their man pages, owned by root, and nothing else.
dpkg-deb -c "$deb" >"$work/contents"
files=$(awk '$1 !~ /^d/ { print $1, $2, $6 }' "$work/contents" | LC_ALL=C sort)
want="-rw-r--r-- root/root ./usr/share/man/man1/modsin-table.1.gz
-rw-r--r-- root/root ./usr/share/man/man1/modsin.1.gz
-rwxr-xr-x root/root ./usr/bin/modsin
-rwxr-xr-x root/root ./usr/bin/modsin-table"
[ "$files" = "$want" ] || { cat "$work/contents"; fail "package contents"; }

# Metadata.
dpkg-deb -I "$deb" >"$work/info"
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = modsin ] || fail "Package: $(field Package)"
[ "$(field Version)" = 1.0.0 ] || fail "Version: $(field Version)"
[ "$(field Architecture)" = amd64 ] || fail "Architecture: $(field Architecture)"
[ "$(field Section)" = math ] || fail "Section: $(field Section)"
grep -q '^ Description: tabulates y = sin(x^p) into node tables$' "$work/info" ||
  { cat "$work/info"; fail "Description"; }

# The packaged files: stripped programs that make the normal run, and the man
# pages as they stand in the source tree.
dpkg-deb -x "$deb" "$work/root"
# Every shared library a program needs comes from a package it depends on;
# the programs are linked statically by default and then need none.
needed=$(for program in modsin modsin-table; do readelf -d "$work/root/usr/bin/$program"; done |
  awk '/\(NEEDED\)/ { gsub(/[][]/, "", $5); print $5 }' | sort -u)
for lib in $needed; do
  case $lib in
    libc.so.*|libm.so.*) pkg=libc6 ;;
    libstdc++.so.*) pkg=libstdc++6 ;;
    libgcc_s.so.*) pkg=libgcc-s1 ;;
    libasan.so.*|libubsan.so.*) continue ;;  # a sanitized test build, never shipped
    *) fail "unexpected shared library $lib" ;;
  esac
  field Depends | grep -q "\b$pkg\b" || { cat "$work/info"; fail "Depends lacks $pkg for $lib"; }
done
mkdir "$work/run"
(cd "$work/run" && "$work/root/usr/bin/modsin" </dev/null >transcript.txt) ||
  fail "the packaged program exited with $?"
golden=$source/tests/e2e/golden
for f in transcript.txt ModSinOutput.dat ModSinOutput2.dat; do
  cmp "$golden/$f" "$work/run/$f" || fail "the packaged program's $f differs"
done
"$work/root/usr/bin/modsin-table" --to 10 | cmp "$golden/ModSinOutput2.dat" - ||
  fail "the packaged modsin-table's table differs"
for program in modsin modsin-table; do
  if readelf -S "$work/root/usr/bin/$program" | grep -q '\.symtab'; then
    fail "the packaged $program is not stripped"
  fi
  gzip -dc "$work/root/usr/share/man/man1/$program.1.gz" | cmp - "$source/docs/$program.1" ||
    fail "the packaged man page differs from docs/$program.1"
done

echo "$(basename "$deb"): $(stat -c %s "$deb") bytes; Depends: $(field Depends)"
