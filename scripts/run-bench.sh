#!/usr/bin/env bash
# Runs the benchmarks of a build folder: timings beside their floors, growth, peak memory.
# Extra arguments go to the benchmark program (e.g. --benchmark_filter=scan --memory_runs=0).
set -euo pipefail
build=${1:-build/bench}
shift || true
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"
echo "date:    $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "load:    $(cut -d' ' -f1-3 /proc/loadavg)"
exec "$build/bench/qb_bench" --program="$build/quillbrook" "$@"
