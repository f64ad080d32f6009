#!/usr/bin/env bash
# The long case, side by side: the example PSD and tones at 8192 samples/sec
# for 1600 s, that is 200 full segments of 65536 samples and about 1.2 GB of
# text in three files. Each round runs the plain build, then the fast one,
# then dd writing as many bytes to the same folder, and deletes the outputs.
# It checks that both builds write the same bytes (the three files and the
# console) and prints the median wall times, their ratio, the dd floor and
# the fast build's peak memory.
#
#   bench/long_run.sh PLAIN_KESTRUNE [FAST_KESTRUNE] [ROUNDS]
#   PLAIN=... FAST=... ROUNDS=... bench/long_run.sh
#
# FAST defaults to build/kestrune of this tree, ROUNDS to 3. The outputs go
# to ${LONG_RUN_DIR:-/tmp/kestrune-long-run}.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
plain=${1:-${PLAIN:-}}
fast=${2:-${FAST:-$here/build/kestrune}}
rounds=${3:-${ROUNDS:-3}}
[ -n "$plain" ] || { echo "usage: long_run.sh PLAIN_KESTRUNE [FAST_KESTRUNE] [ROUNDS]" >&2; exit 2; }
plain=$(realpath "$plain")
fast=$(realpath "$fast")
dir=${LONG_RUN_DIR:-/tmp/kestrune-long-run}

if [ ! -x /usr/bin/time ]; then
  apt-get update -qq >/dev/null && apt-get install -y -qq time >/dev/null
fi

rm -rf "$dir"
mkdir -p "$dir"
trap 'rm -rf "$dir"' EXIT
printf '%s\n' "$here/examples/psd.txt" "$here/examples/sine.txt" accel.txt vel.txt disp.txt 1600 8192 > "$dir/answers"

# Runs one build in the folder; prints "wall_seconds peak_kib", leaves the
# checksums of the three files and the console in $dir/sums.NAME and the
# number of bytes of the three files in $dir/bytes.
run_one() {
  local name=$1 exe=$2
  mkdir -p "$dir/run"
  (cd "$dir/run" && /usr/bin/time -f '%e %M' -o "$dir/time" "$exe" < "$dir/answers" > console.txt)
  (cd "$dir/run" && sha256sum accel.txt vel.txt disp.txt console.txt) > "$dir/sums.$name"
  echo $(( $(stat -c %s "$dir/run/accel.txt") + $(stat -c %s "$dir/run/vel.txt") + $(stat -c %s "$dir/run/disp.txt") )) > "$dir/bytes"
  rm -rf "$dir/run"
  cat "$dir/time"
}

dd_one() {
  local t0 t1
  t0=$(date +%s.%N)
  dd if=/dev/zero of="$dir/dd.out" bs=1M count="$1" iflag=count_bytes status=none
  t1=$(date +%s.%N)
  rm -f "$dir/dd.out"
  calc "$t1 - $t0"
}

calc() { awk "BEGIN { printf \"%.6f\", $1 }"; }
median() { sort -g | awk '{ a[NR] = $1 } END { print (NR % 2 ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2) }'; }

same=yes
: > "$dir/plain.t"; : > "$dir/fast.t"; : > "$dir/ratio.t"; : > "$dir/dd.t"; : > "$dir/mem.t"
printf '%-6s %10s %10s %8s %10s %12s\n' round "plain s" "fast s" ratio "dd s" "fast peak"
for ((r = 1; r <= rounds; ++r)); do
  read -r tp mp < <(run_one plain "$plain")
  read -r tf mf < <(run_one fast "$fast")
  if ! cmp -s "$dir/sums.plain" "$dir/sums.fast"; then
    same=no
    echo "round $r: the outputs differ" >&2
    diff "$dir/sums.plain" "$dir/sums.fast" >&2 || true
  fi
  bytes=$(cat "$dir/bytes")
  td=$(dd_one "$bytes")
  ratio=$(calc "$tp / $tf")
  echo "$tp" >> "$dir/plain.t"; echo "$tf" >> "$dir/fast.t"; echo "$ratio" >> "$dir/ratio.t"
  echo "$td" >> "$dir/dd.t"; echo "$mf" >> "$dir/mem.t"
  printf '%-6s %10.2f %10.2f %8.2f %10.2f %9.1f MiB\n' "$r" "$tp" "$tf" "$ratio" "$td" "$(calc "$mf / 1024")"
done

echo
echo "bytes written per run: $bytes"
echo "checksums (sha256), plain build:"
sed 's/^/  /' "$dir/sums.plain"
mp=$(median < "$dir/plain.t"); mf=$(median < "$dir/fast.t"); md=$(median < "$dir/dd.t")
printf 'median wall time: plain %.2f s, fast %.2f s, ratio %.2f (median of the rounds'"'"' ratios %.2f)\n' \
  "$mp" "$mf" "$(calc "$mp / $mf")" "$(median < "$dir/ratio.t")"
printf 'median dd of the same bytes: %.2f s (fast / dd = %.2f)\n' "$md" "$(calc "$mf / $md")"
printf 'fast build peak memory: %.1f MiB (largest of the rounds)\n' "$(calc "$(sort -g "$dir/mem.t" | tail -1) / 1024")"
if [ "$same" = yes ]; then
  echo "outputs: identical in every round"
else
  echo "outputs: DIFFERENT"
  exit 1
fi
