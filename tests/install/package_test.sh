#!/usr/bin/env bash
# Builds the Debian package with CPack and checks what it holds and what it
# says of itself, that lintian finds no error or warning in it, and how the
# programs are hardened; the packaged program must then make a normal run.
# LINKING is how the build links the programs: static (modsin at a fixed
# address, modsin-table a static PIE) or dynamic (a sanitized build).
# PYTHON, the interpreter the Python module was built for, is given where
# the build made the module: then the second package, python3-modsin, is
# checked the same way, and its module must import and tabulate.
#   package_test.sh BUILD_DIR SOURCE_DIR LINKING [PYTHON]
set -euo pipefail
build=$1
source=$2
linking=$3
python=${4:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$work" && cpack --config "$build/CPackConfig.cmake" -B "$work/out") >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack"; }
names=$(cd "$work/out" && ls -- *.deb)
want=modsin_1.0.0_amd64.deb
[ -z "$python" ] || want+=$'\npython3-modsin_1.0.0_amd64.deb'
[ "$names" = "$want" ] || fail "the packages made: $names"
deb=$work/out/modsin_1.0.0_amd64.deb

# Contents: the programs and their man pages, Debian's copyright file,
# changelog and lintian overrides, owned by root, and nothing else.
dpkg-deb -c "$deb" >"$work/contents"
files=$(awk '$1 !~ /^d/ { print $1, $2, $6 }' "$work/contents" | LC_ALL=C sort)
want="-rw-r--r-- root/root ./usr/share/doc/modsin/changelog.gz
-rw-r--r-- root/root ./usr/share/doc/modsin/copyright
-rw-r--r-- root/root ./usr/share/lintian/overrides/modsin
-rw-r--r-- root/root ./usr/share/man/man1/modsin-table.1.gz
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
[ "$(field Maintainer)" = "The modsin developers <maintainers@modsin.org>" ] ||
  fail "Maintainer: $(field Maintainer)"
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

cmp "$work/root/usr/share/doc/modsin/copyright" "$source/cmake/debian/copyright" ||
  fail "the packaged copyright file differs from cmake/debian/copyright"
gzip -dc "$work/root/usr/share/doc/modsin/changelog.gz" | cmp - "$source/cmake/debian/changelog" ||
  fail "the packaged changelog differs from cmake/debian/changelog"

# Hardening, read off the ELF headers. Both programs: a non-executable stack
# (GNU_STACK without E) and a RELRO segment. Where a program has a dynamic
# section (the static PIE relocates itself with one; a dynamic build binds
# its libraries through one) it must bind everything at start (BIND_NOW or
# FLAGS_1 NOW), so that the RELRO pages are never written after it. The
# fixed-address static modsin has none; there -z now shows as a .got.plt
# folded into the .got that RELRO covers, so that the slots of the C
# library's processor-specific functions are read-only after start-up.
hardened() {
  local binary=$1 program=$2
  readelf -lW "$binary" >"$work/segments"
  grep -Eq '^ +GNU_STACK( +0x[0-9a-f]+){5} +RW +' "$work/segments" ||
    { cat "$work/segments"; fail "$program: the stack is executable or GNU_STACK is missing"; }
  grep -q '^ *GNU_RELRO ' "$work/segments" || { cat "$work/segments"; fail "$program: no RELRO segment"; }
  readelf -d "$binary" >"$work/dynamic"
  if ! grep -q 'There is no dynamic section' "$work/dynamic"; then
    grep -Eq '\(FLAGS\) +BIND_NOW|\(FLAGS_1\) +Flags:.* NOW' "$work/dynamic" ||
      { cat "$work/dynamic"; fail "$program: lazy binding (no BIND_NOW)"; }
  fi
}
for program in modsin modsin-table; do
  hardened "$work/root/usr/bin/$program" $program
done
elfType() { readelf -h "$work/root/usr/bin/$1" | awk '$1 == "Type:" { print $2 }'; }
if [ "$linking" = static ]; then
  [ "$(elfType modsin)" = EXEC ] || fail "modsin: ELF type $(elfType modsin), not a fixed-address EXEC"
  grep -q 'There is no dynamic section' < <(readelf -d "$work/root/usr/bin/modsin") ||
    fail "modsin: a dynamic section in a fixed-address static program"
  readelf -lW "$work/root/usr/bin/modsin" >"$work/segments"
  grep -Eq '^ +[0-9]+ +.*\.got( |$)' "$work/segments" && ! grep -q '\.got\.plt' "$work/segments" ||
    { cat "$work/segments"; fail "modsin: function slots outside RELRO (linked without -z now)"; }
  [ "$(elfType modsin-table)" = DYN ] || fail "modsin-table: ELF type $(elfType modsin-table), not a PIE"
  file "$work/root/usr/bin/modsin-table" | grep -q 'static-pie linked' ||
    fail "modsin-table is not a static PIE: $(file "$work/root/usr/bin/modsin-table")"
fi

# lintian, Debian's own check of a package: no error and no warning (the
# overrides, each with its reason, are in cmake/debian/lintian-overrides).
lintianClean() {
  lintian "$1" >"$work/lintian.txt" 2>"$work/lintian.err" ||
    { cat "$work/lintian.txt" "$work/lintian.err"; fail "lintian failed on $(basename "$1")"; }
  if grep -E '^(E|W):' "$work/lintian.txt"; then
    fail "lintian reports errors or warnings on $(basename "$1")"
  fi
}
lintianClean "$deb"
# The program's package needs no Python.
field Depends | grep -q python && fail "modsin depends on Python: $(field Depends)"
echo "$(basename "$deb"): $(stat -c %s "$deb") bytes; Depends: $(field Depends)"
[ -n "$python" ] || exit 0

# python3-modsin: the package modsin in Debian's layout for Python 3, with
# Debian's documents, depending on the Python 3 version that the module was
# built for (it imports in no other) and numpy before the module's libraries;
# the module stripped and hardened like the programs.
deb=$work/out/python3-modsin_1.0.0_amd64.deb
[ "$(field Package)" = python3-modsin ] || fail "Package: $(field Package)"
[ "$(field Section)" = python ] || fail "Section: $(field Section)"
version=$("$python" -c 'import sys; print(sys.version_info[0], sys.version_info[1], sys.version_info[1] + 1)')
read -r major minor next <<<"$version"
python_depends="python3 (>= $major.$minor~), python3 (<< $major.$next), python3-numpy, "
[[ "$(field Depends)" == "$python_depends"*libstdc++6* ]] || fail "Depends: $(field Depends)"
suffix=$("$python" -c 'import sysconfig; print(sysconfig.get_config_var("EXT_SUFFIX"))')
package=usr/lib/python3/dist-packages/modsin
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $1, $2, $6 }' | LC_ALL=C sort)
want="-rw-r--r-- root/root ./$package/__init__.py
-rw-r--r-- root/root ./$package/_modsin$suffix
-rw-r--r-- root/root ./$package/_modsin.pyi
-rw-r--r-- root/root ./$package/py.typed
-rw-r--r-- root/root ./usr/share/doc/python3-modsin/changelog.gz
-rw-r--r-- root/root ./usr/share/doc/python3-modsin/copyright"
[ "$files" = "$want" ] || { dpkg-deb -c "$deb"; fail "python3-modsin contents"; }
dpkg-deb -x "$deb" "$work/python-root"
module=$work/python-root/$package/_modsin$suffix
if readelf -S "$module" | grep -q '\.symtab'; then
  fail "the packaged module is not stripped"
fi
hardened "$module" "the module"
got=$(cd "$work" && PYTHONPATH=$work/python-root/usr/lib/python3/dist-packages "$python" -c \
  'import modsin; print(len(modsin.tabulate()[0]), modsin.__file__)')
[ "$got" = "127 $work/python-root/$package/__init__.py" ] || fail "the packaged module: $got"
lintianClean "$deb"
echo "$(basename "$deb"): $(stat -c %s "$deb") bytes; Depends: $(field Depends)"
