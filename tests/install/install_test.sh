#!/usr/bin/env bash
# Installs the build tree into a fresh prefix and builds a consumer program
# against it twice, once through find_package and once through pkg-config;
# both builds must tabulate 127 nodes. The consumer is compiled with the
# build's own compiler flags, so that a library built with instrumentation
# (sanitizers, coverage) still links. PYTHON, given where the build made the
# Python module, is the interpreter it was built for: the package modsin must
# then be installed in Debian's layout and tabulate from there.
#   install_test.sh BUILD_DIR CXX_COMPILER [CXX_FLAGS [PYTHON]]
set -euo pipefail
build=$1
cxx=$2
flags=${3:-}
python=${4:-}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
expected="127 nodes from x = 0 to 5"

fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >"$work/install.log" ||
  { cat "$work/install.log"; fail "cmake --install"; }

# What a user of the program and of the library looks for.
for f in bin/modsin bin/modsin-table share/man/man1/modsin.1.gz \
  share/man/man1/modsin-table.1.gz lib/libmodsin.a \
  include/modsin/calc/UnitCalcModSin.h include/modsin/calc/UTypes.h \
  include/modsin/calc/NumberText.h include/modsin/calc/Tabulate.h \
  include/modsin/numeric/FloatEnvironment.h \
  include/modsin/base/Exception.h lib/cmake/ModSin/ModSinConfig.cmake \
  lib/cmake/ModSin/ModSinConfigVersion.cmake lib/pkgconfig/modsin.pc; do
  [ -f "$prefix/$f" ] || fail "not installed: $f"
done
# Only headers go under include/.
stray=$(find "$prefix/include" -type f ! -name '*.h')
[ -z "$stray" ] || fail "not a header: $stray"

# 1. find_package(ModSin) in a CMake project of its own.
cmake -S "$here/consumer" -B "$work/cmake-build" -DCMAKE_CXX_COMPILER="$cxx" \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_PREFIX_PATH="$prefix" >"$work/configure.log" 2>&1 ||
  { cat "$work/configure.log"; fail "consumer configure (find_package)"; }
cmake --build "$work/cmake-build" >"$work/build.log" 2>&1 ||
  { cat "$work/build.log"; fail "consumer build (find_package)"; }
got=$("$work/cmake-build/consumer") || fail "consumer (find_package) printed: $got"
[ "$got" = "$expected" ] || fail "consumer (find_package) printed: $got"

# The version file refuses a major version the package is not.
if cmake -S "$here/consumer" -B "$work/cmake-build-2" -DCMAKE_CXX_COMPILER="$cxx" \
  -DCMAKE_PREFIX_PATH="$prefix" -DMODSIN_WANTED=2.0 >"$work/configure-2.log" 2>&1; then
  fail "find_package(ModSin 2.0) accepted version 1.0.0"
fi
grep -q 'ModSinConfig.cmake, version: 1.0.0' "$work/configure-2.log" ||
  { cat "$work/configure-2.log"; fail "find_package(ModSin 2.0) failed for another reason"; }

# 2. pkg-config, with nothing but the compiler.
export PKG_CONFIG_PATH=$prefix/lib/pkgconfig
[ "$(pkg-config --modversion modsin)" = 1.0.0 ] || fail "pkg-config version"
# shellcheck disable=SC2046,SC2086 # the flags are meant to split into words
"$cxx" -std=c++20 $flags "$here/consumer/Consumer.cpp" $(pkg-config --cflags --libs modsin) \
  -o "$work/consumer-pc" || fail "consumer build (pkg-config)"
got=$("$work/consumer-pc") || fail "consumer (pkg-config) printed: $got"
[ "$got" = "$expected" ] || fail "consumer (pkg-config) printed: $got"

# 3. The Python package, imported from Debian's dist-packages under the prefix.
if [ -n "$python" ]; then
  packages=$prefix/lib/python3/dist-packages
  for f in __init__.py _modsin.pyi py.typed; do
    [ -f "$packages/modsin/$f" ] || fail "not installed: lib/python3/dist-packages/modsin/$f"
  done
  nodes=$(cd "$work" && PYTHONPATH=$packages "$python" -c \
    'import modsin; print(len(modsin.tabulate()[0]), modsin.__file__)') ||
    fail "import modsin from the prefix: $nodes"
  [ "$nodes" = "127 $packages/modsin/__init__.py" ] || fail "modsin from the prefix printed: $nodes"
fi

echo "installed, and the consumer built with find_package and with pkg-config: $got"
