#!/usr/bin/env bash
# Times a whole run of modsin against the floor program in one interleaved
# hyperfine run, in a temporary folder, and reports both peak resident sizes.
# Usage: whole-run.sh <modsin> <modsin_floor> [extra hyperfine options]
set -euo pipefail

if [ "$#" -lt 2 ]; then
  echo "usage: $0 <modsin> <modsin_floor> [hyperfine options]" >&2
  exit 2
fi
program=$(realpath "$1")
floor=$(realpath "$2")
shift 2
for tool in hyperfine /usr/bin/time; do
  if ! command -v "$tool" >/dev/null; then
    echo "$0: $tool is missing; install it with: apt-get install hyperfine time" >&2
    exit 1
  fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# Both commands run with standard output to a file, without a shell in
# between (-N); hyperfine gives them /dev/null as standard input. Hyperfine
# runs its commands one after the other, so the run is interleaved by hand:
# short blocks of each, alternating in order, so that a change of machine load
# falls on both alike; the medians are taken over all blocks together.
rounds=${ROUNDS:-20}
runs=${RUNS:-50}
for ((round = 0; round < rounds; ++round)); do
  if ((round % 2 == 0)); then
    order=(-n modsin "$program" -n floor "$floor")
  else
    order=(-n floor "$floor" -n modsin "$program")
  fi
  hyperfine -N --style none --warmup 5 --runs "$runs" --output "$work/transcript.txt" \
    --export-json "$work/round-$round.json" "$@" "${order[@]}" >/dev/null
done

# On a busy machine the wall times wait for the other processes; the processor
# time that each run spends itself (user and system, hyperfine's means per
# block) waits less, so it is reported beside them.
python3 - "$work"/round-*.json <<'PY'
import json, statistics, sys
times = {"modsin": [], "floor": []}
cpu = {"modsin": [], "floor": []}
for path in sys.argv[1:]:
    for result in json.load(open(path))["results"]:
        times[result["command"]] += result["times"]
        cpu[result["command"]].append(result["user"] + result["system"])
median = {name: statistics.median(t) for name, t in times.items()}
for name in times:
    print(f"{name}: median {median[name] * 1e3:.3f} ms over {len(times[name])} runs")
print(f"ratio of the medians, modsin / floor: {median['modsin'] / median['floor']:.3f}")
blocks = {name: statistics.median(c) for name, c in cpu.items()}
print(f"processor time, median of the blocks' means: modsin {blocks['modsin'] * 1e3:.3f} ms,"
      f" floor {blocks['floor'] * 1e3:.3f} ms, ratio {blocks['modsin'] / blocks['floor']:.3f}")
PY

# Peak resident size in KiB, the largest of a few runs.
for name in modsin floor; do
  binary=$program
  [ "$name" = floor ] && binary=$floor
  peak=0
  for _ in 1 2 3 4 5; do
    kib=$(/usr/bin/time -f %M "$binary" </dev/null 2>&1 >/dev/null | tail -n 1)
    [ "$kib" -gt "$peak" ] && peak=$kib
  done
  echo "peak resident size: $name $peak KiB"
done
