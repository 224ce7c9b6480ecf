#!/usr/bin/env bash
# Installs what the benchmarks need, builds them (Release, build-bench/), makes or reuses the
# cached stores of 100,000 and 1,000,000 members, runs every benchmark program in bench/ and
# prints each operation's three rows: talvio, naive and floor.
#
#   ./scripts/bench.sh
#
# JSON results and logs land in bench/results/latest/. Settings (environment):
#   TALVIO_BENCH_SIZES   store sizes to run           (default "100000 1000000")
#   TALVIO_BENCH_CACHE   where the stores are cached  (default ~/.cache/talvio-bench)
#   TALVIO_BENCH_JOBS    parallel compile jobs        (default 2)
#   TALVIO_BENCH_FILTER  --benchmark_filter for every program (default: all)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-bench"
results="$root/bench/results/latest"
sizes="${TALVIO_BENCH_SIZES:-100000 1000000}"
programs=(bench_start bench_members bench_queries bench_records bench_mail bench_memory bench_export
  bench_snapshots)
started=$(date +%s)

"$root/scripts/setup-debian.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTALVIO_BENCH=ON > /dev/null
cmake --build "$build" -j "${TALVIO_BENCH_JOBS:-2}" --target "${programs[@]}" bench_import make_store \
  bench_report

for members in $sizes; do
  "$build/bin/make_store" "$members" > /dev/null
done

rm -rf "$results"
mkdir -p "$results"
{
  echo "date: $(date -u +%Y-%m-%dT%H:%M:%SZ)"
  echo "commit: $(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo unknown)$(git -C "$root" diff --quiet 2>/dev/null || echo ' (with local changes)')"
  echo "cpu: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $(nproc) cores"
  echo "memory: $(free -h | awk '/^Mem:/ {print $2}')"
  echo "disk: $(df -h "$root" | awk 'NR==2 {print $1", "$2}'), rotational=$(cat /sys/block/"$(basename "$(df "$root" | awk 'NR==2 {print $1}')")"/queue/rotational 2>/dev/null || echo '?')"
  echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
} > "$results/machine.txt"

export QT_QPA_PLATFORM=offscreen
for members in $sizes; do
  for program in "${programs[@]}"; do
    echo "running $program over $members members"
    TALVIO_BENCH_MEMBERS="$members" "$build/bin/$program" \
      --benchmark_filter="${TALVIO_BENCH_FILTER:-.}" \
      --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
      --benchmark_out="$results/$program-$members.json" --benchmark_out_format=json \
      > "$results/$program-$members.log" 2>&1
  done
done
# The import of an older folder runs at 100,000 members only: the test data writer's files stop
# at about 150,000.
echo "running bench_import over 100000 members"
TALVIO_BENCH_MEMBERS=100000 "$build/bin/bench_import" \
  --benchmark_filter="${TALVIO_BENCH_FILTER:-.}" \
  --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
  --benchmark_out="$results/bench_import-100000.json" --benchmark_out_format=json \
  > "$results/bench_import-100000.log" 2>&1
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)" >> "$results/machine.txt"
echo "seconds: $(( $(date +%s) - started ))" >> "$results/machine.txt"

"$build/bin/bench_report" --markdown "$results"/*.json > "$results/summary.md"
cat "$results/machine.txt"
"$build/bin/bench_report" "$results"/*.json
