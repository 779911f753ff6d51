#!/usr/bin/env bash
# Runs every fuzz target for the given seconds (default 60) from its seeds in
# fuzz/corpus/<target>, one after another; any finding fails the run. New
# inputs go to a scratch corpus, so the checked-in seeds stay as they are.
# Usage: fuzz/run-fuzzers.sh BUILD_DIR [SECONDS]
set -euo pipefail
build=$1
seconds=${2:-60}
here=$(cd "$(dirname "$0")" && pwd)
# Input sizes: a double, five doubles, a chunk size plus a few lines, an
# Extended, two Extended (a base and an exponent), and a command line: room for
# a few options and a value longer than a message quotes.
declare -A maxLen=([number_text]=8 [tabulator]=40 [line_reader]=1024 [sine]=10 [exponential]=20
  [command_line]=256)
status=0
for target in number_text tabulator line_reader sine exponential command_line; do
  scratch=$(mktemp -d)
  echo "--- fuzz_$target for ${seconds}s"
  if ! "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -max_len="${maxLen[$target]}" \
      -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$build/fuzz/$target-" \
      "$scratch" "$here/corpus/$target" </dev/null >"$build/fuzz/$target.log" 2>&1; then
    status=1
    echo "FINDING in fuzz_$target:"
    tail -n 60 "$build/fuzz/$target.log"
  fi
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec|new_units_added)' \
    "$build/fuzz/$target.log" || true
  rm -rf "$scratch"
done
exit $status
