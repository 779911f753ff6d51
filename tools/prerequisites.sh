#!/usr/bin/env bash
# Installs the Debian packages that a purpose needs, where they are missing.
#   tools/prerequisites.sh LIST...      install what LIST... lacks
#   tools/prerequisites.sh --print LIST...  print the packages of LIST...
# The Makefile's targets call it with their own list, and .ci/run with every
# list it uses, so that these lists are the one place the packages are named.
#
# On a machine that has everything it installs nothing and runs no apt-get
# update: one dpkg-query call decides. It uses apt-get as root and sudo
# otherwise; where neither can run, it prints the one command to run by hand
# and exits 1. With MODSIN_PREREQUISITES=check it never installs: a missing
# package is a failure (.ci/run sets it, so that a make target needing a
# package that .ci/run's own lists lack fails CI instead of installing it).
set -euo pipefail

# Building and running the programs: what the machine image already has.
program=(g++ cmake ninja-build make)
# The Linux test suite: GoogleTest, MPFR (the reference of the sine, the
# exponential and the logarithm), objdump (binutils) for the check that the
# core library holds no x87 transcendental instruction, and the tools of the
# package test (cpack reads shared-library dependencies with file; lintian
# checks the package as Debian would), the man page test and the system-call
# count.
test=(libgtest-dev libgmock-dev libmpfr-dev pkg-config binutils groff-base dpkg-dev strace file
  lintian)
# The two Windows builds and their tests under Wine: the 32-bit one under
# wine32, which needs the i386 architecture (the script adds it first), the
# 64-bit one under wine64, each with MinGW-w64's -posix compilers.
# GoogleTest is built from Debian's sources with the cross compiler; groff
# renders the man page as text for the ZIP.
windows=(g++-mingw-w64-i686 g++-mingw-w64-x86-64-posix wine wine32:i386 wine64 zip googletest
  groff-base)
# The Python module (make test and make bench in the release presets):
# Python 3's headers, pybind11 and numpy for Debian's python3, and pytest for
# its tests.
python=(python3-dev pybind11-dev python3-numpy python3-pytest)
# make bench: Google Benchmark, hyperfine and GNU time for the whole run.
bench=(libbenchmark-dev hyperfine time)
# make coverage.
coverage=(gcovr)
# make fuzz: clang 14 with libFuzzer and the sanitizers' run-time libraries,
# and MPFR for the sine's and the exponential's targets.
fuzz=(clang-14 libclang-rt-14-dev libmpfr-dev pkg-config)
# make tidy, make format and the clang preset.
analysis=(clang-14 clang-tidy-14 clang-format-14)
# make plot.
plot=(gnuplot-nox)

usage() {
  echo "usage: tools/prerequisites.sh [--print] {program|test|python|windows|bench|coverage|fuzz|analysis|plot}..." >&2
  exit 2
}

print=false
if [ "${1:-}" = --print ]; then
  print=true
  shift
fi
[ $# -gt 0 ] || usage

packages=()
for list in "$@"; do
  case $list in
    program | test | python | windows | bench | coverage | fuzz | analysis | plot) ;;
    *) usage ;;
  esac
  declare -n members=$list
  packages+=("${members[@]}")
done
# Each package once, in the order first named.
mapfile -t packages < <(printf '%s\n' "${packages[@]}" | awk '!seen[$0]++')

if $print; then
  printf '%s\n' "${packages[@]}"
  exit 0
fi

# A package of another architecture (wine32:i386) needs that architecture.
architectures=()
for pkg in "${packages[@]}"; do
  case $pkg in
    *:*) architectures+=("${pkg#*:}") ;;
  esac
done
foreign=$(dpkg --print-foreign-architectures)
missingArchitectures=()
for arch in "${architectures[@]}"; do
  grep -qx "$arch" <<<"$foreign" || missingArchitectures+=("$arch")
done

# dpkg-query lists every package it knows with its architecture and state,
# and names the ones it does not know on standard error; both count as missing
# unless installed. A package of the native architecture (or of all) is named
# without a suffix, as the lists name it.
native=$(dpkg --print-architecture)
installed=$(dpkg-query -W -f='${Package} ${Architecture} ${db:Status-Status}\n' "${packages[@]}" 2>/dev/null |
  awk -v native="$native" '$3 == "installed" { print ($2 == native || $2 == "all") ? $1 : $1 ":" $2 }' || true)
missing=()
for pkg in "${packages[@]}"; do
  grep -qx -- "$pkg" <<<"$installed" || missing+=("$pkg")
done
[ ${#missing[@]} -gt 0 ] || [ ${#missingArchitectures[@]} -gt 0 ] || exit 0

if [ "${MODSIN_PREREQUISITES:-}" = check ]; then
  echo "missing packages (not installed by .ci/run): ${missing[*]} ${missingArchitectures[*]}" >&2
  exit 1
fi

command=()
if [ "$(id -u)" -eq 0 ]; then
  command=()
elif command -v sudo >/dev/null && { sudo -n true 2>/dev/null || [ -t 0 ]; }; then
  command=(sudo)
else
  printf 'missing packages: %s\nrun as root:\n  ' "${missing[*]}" >&2
  for arch in "${missingArchitectures[@]}"; do printf 'dpkg --add-architecture %s && ' "$arch" >&2; done
  printf 'apt-get update && apt-get install %s\n' "${missing[*]}" >&2
  exit 1
fi

for arch in "${missingArchitectures[@]}"; do
  echo "adding the $arch architecture"
  "${command[@]}" dpkg --add-architecture "$arch"
done
[ ${#missing[@]} -gt 0 ] || exit 0
echo "installing: ${missing[*]}"
"${command[@]}" apt-get -o DPkg::Lock::Timeout=600 update -qq
"${command[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -qq "${missing[@]}" </dev/null
