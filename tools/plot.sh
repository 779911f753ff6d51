#!/usr/bin/env bash
# Draws the picture of both node tables: runs the program in a scratch folder
# (standard input closed, so it does not wait) and hands its tables to
# plot.gp.
#   tools/plot.sh PROGRAM OUTPUT.png
set -euo pipefail
program=$(realpath "$1")
output=$(realpath -m "$2")
here=$(cd "$(dirname "$0")" && pwd)

if ! command -v gnuplot >/dev/null; then
  echo "make plot needs gnuplot: apt-get install gnuplot-nox" >&2
  exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && "$program" </dev/null >/dev/null)
(cd "$work" && gnuplot -c "$here/plot.gp" ModSinOutput.dat ModSinOutput2.dat "$output")
echo "wrote $output"
