#!/usr/bin/env bash
# The large job (bench/LargeJob.h, about 1.3 million nodes) as one call of
# modsin::Tabulate in a C++ process and of modsin.tabulate in Python, each
# call in a fresh process; reports the medians of several runs: the call's
# wall time and CPU time (user and system; on a busy machine the wall clock
# also counts the waits for a processor), the process's peak resident size,
# and what the call added to the peak, with Python's against C++'s.
# Usage: tabulate-run.sh <modsin_tabulate_run> <python3> <folder of the package modsin> [runs]
set -euo pipefail

if [ "$#" -lt 3 ]; then
  echo "usage: $0 <modsin_tabulate_run> <python3> <folder of the package modsin> [runs]" >&2
  exit 2
fi
program=$(realpath "$1")
python=$2
export PYTHONPATH
PYTHONPATH=$(realpath "$3")
runs=${4:-11}
script=$(dirname "$(realpath "$0")")/tabulate-run.py
if [ ! -x /usr/bin/time ]; then
  echo "$0: /usr/bin/time is missing; install it with: apt-get install time" >&2
  exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Each run prints "<call wall seconds> <call CPU seconds> <nodes> <peak KiB
# before the call>", and GNU time appends the whole process's peak in KiB. One run of each to warm
# up, then the two alternate.
measure() {
  local output=$1
  shift
  /usr/bin/time -f '%M' -o "$work/peak" "$@" >"$work/line"
  echo "$(cat "$work/line") $(cat "$work/peak")" >>"$output"
}
for ((run = 0; run < runs + 1; ++run)); do
  measure "$work/cpp" "$program"
  measure "$work/python" "$python" "$script"
done

python3 - "$work/cpp" "$work/python" <<'PY'
import statistics, sys

def medians(path):
    runs = [list(map(float, line.split())) for line in open(path)][1:]
    nodes = {int(r[2]) for r in runs}
    assert len(nodes) == 1, nodes
    median = lambda f: statistics.median(f(r) for r in runs)
    return dict(nodes=nodes.pop(), runs=len(runs), wall=median(lambda r: r[0]),
                cpu=median(lambda r: r[1]), peak=median(lambda r: r[4]),
                added=median(lambda r: r[4] - r[3]))

cpp, python = medians(sys.argv[1]), medians(sys.argv[2])
assert cpp["nodes"] == python["nodes"], (cpp["nodes"], python["nodes"])
print(f"{cpp['nodes']} nodes, {cpp['runs']} runs each, medians:")
for name, m in (("modsin::Tabulate (C++)", cpp), ("modsin.tabulate (Python)", python)):
    print(f"  {name:26} call: wall {m['wall'] * 1e3:5.0f} ms, CPU {m['cpu'] * 1e3:5.0f} ms; "
          f"peak resident {m['peak'] / 1024:5.1f} MiB, {m['added'] / 1024:5.1f} MiB of it by the call")
print("  Python / C++: " + ", ".join(f"{k} {python[k] / cpp[k]:.3f}" for k in ("wall", "cpu", "peak", "added")))
PY
