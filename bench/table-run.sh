#!/usr/bin/env bash
# Times whole runs of modsin-table on a large job (about 1.3 million nodes),
# written to a file on tmpfs, and reports the medians of several runs: nodes
# per second of the whole process by the wall clock and by its CPU time, and
# its peak resident size as bytes per node beyond a fixed 4 MiB.
# Usage: table-run.sh <modsin-table> [runs]
set -euo pipefail

if [ "$#" -lt 1 ]; then
  echo "usage: $0 <modsin-table> [runs]" >&2
  exit 2
fi
program=$(realpath "$1")
runs=${2:-15}
if [ ! -x /usr/bin/time ]; then
  echo "$0: /usr/bin/time is missing; install it with: apt-get install time" >&2
  exit 1
fi

job=(--to 100 --dx 1e-9 --dy 1e-5 --max-nodes 100000000 --max-seeds 100000)
work=$(mktemp -d /dev/shm/modsin-table-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT

"$program" "${job[@]}" -o "$work/table.dat"
nodes=$(($(wc -l <"$work/table.dat") - 1))
# Two runs to warm up, then the timed ones, each replacing the table.
for ((run = 0; run < runs + 2; ++run)); do
  /usr/bin/time -f '%e %U %S %M' -a -o "$work/times" "$program" "${job[@]}" -o "$work/table.dat"
done

python3 - "$nodes" "$work/times" <<'PY'
import statistics, sys
nodes = int(sys.argv[1])
runs = [list(map(float, line.split())) for line in open(sys.argv[2])][2:]
wall = statistics.median(r[0] for r in runs)
cpu = statistics.median(r[1] + r[2] for r in runs)
peak_kib = statistics.median(r[3] for r in runs)
print(f"{nodes} nodes, {len(runs)} runs, medians:")
print(f"  wall {wall * 1e3:.0f} ms: {nodes / wall / 1e6:.2f} million nodes/s")
print(f"  CPU (user + system) {cpu * 1e3:.0f} ms: {nodes / cpu / 1e6:.2f} million nodes/s")
print(f"  peak resident {peak_kib / 1024:.1f} MiB: "
      f"{(peak_kib * 1024 - 4 * 1024 * 1024) / nodes:.1f} bytes/node beyond 4 MiB")
PY
