#!/usr/bin/env bash
# Builds bench/stages_bench.cpp against this tree and against another one
# (the plain build to compare with), then runs both, alternating, and prints
# the median time of each stage side by side.
#
#   bench/compare_stages.sh PLAIN_SOURCE_DIR [ROUNDS]
#
# Build folders go under ${BENCH_WORK:-/tmp/kestrune-stages}.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
plain=$(cd "${1:?usage: compare_stages.sh PLAIN_SOURCE_DIR [ROUNDS]}" && pwd)
rounds=${2:-3}
work=${BENCH_WORK:-/tmp/kestrune-stages}
mkdir -p "$work/wrap"

# A small project: the other tree's core library and this tree's bench source.
cat > "$work/wrap/CMakeLists.txt" <<CMK
cmake_minimum_required(VERSION 3.25)
project(stages_wrap LANGUAGES CXX)
set(KESTRUNE_TESTS OFF CACHE BOOL "" FORCE)
set(KESTRUNE_BENCH OFF CACHE BOOL "" FORCE)
add_subdirectory("$plain" core)
find_package(benchmark REQUIRED)
add_executable(stages_bench "$here/bench/stages_bench.cpp")
target_link_libraries(stages_bench PRIVATE kestrune_core benchmark::benchmark)
target_compile_definitions(stages_bench PRIVATE KESTRUNE_SOURCE_DIR="$here")
CMK
cmake -S "$work/wrap" -B "$work/plain" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/plain" -j2 --target stages_bench >/dev/null
cmake -S "$here" -B "$work/fast" -DCMAKE_BUILD_TYPE=Release -DKESTRUNE_TESTS=OFF -DKESTRUNE_BENCH=ON >/dev/null
cmake --build "$work/fast" -j2 --target stages_bench >/dev/null

for ((r = 1; r <= rounds; ++r)); do
  for b in plain fast; do
    exe=$work/$b/stages_bench
    [ -x "$exe" ] || exe=$work/$b/bench/stages_bench
    "$exe" --benchmark_min_time=0.2 --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
      --benchmark_format=csv 2>/dev/null | grep '_median"' | sed "s/^/$b,/" >> "$work/results.$$"
  done
done

# CSV lines: build,"BM_stage/repeats:3_median",iterations,real_time,cpu_time,unit,...
awk -F, '
  { name = $2; gsub(/"|BM_|_median/, "", name); t[$1, name] = t[$1, name] " " $4; seen[name] = 1; order[++n] = name; unit = $6 }
  function median(s,   a, k, i, j, x) {
    k = split(s, a, " ");
    for (i = 1; i <= k; ++i) for (j = i + 1; j <= k; ++j) if (a[j] < a[i]) { x = a[i]; a[i] = a[j]; a[j] = x }
    return k % 2 ? a[(k + 1) / 2] : (a[k / 2] + a[k / 2 + 1]) / 2
  }
  END {
    printf "%-10s %12s %12s %8s\n", "stage", "plain " unit, "fast " unit, "ratio"
    for (i = 1; i <= n; ++i) {
      s = order[i]; if (done[s]++) continue
      p = median(t["plain", s]); f = median(t["fast", s])
      printf "%-10s %12.3f %12.3f %8.1f\n", s, p, f, (f > 0 ? p / f : 0)
    }
  }' "$work/results.$$"
rm -f "$work/results.$$"
