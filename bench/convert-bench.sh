#!/usr/bin/env bash
# Whole-process speed of `elvarin-host convert` on a large generated mosaic,
# against the time `cat FILE > /dev/null` takes for the same file, and the
# converter's peak memory against the image's own size.
#
#   bash bench/convert-bench.sh [BUILD_DIR] [SIZE]
#
# BUILD_DIR defaults to build/release (built if missing), SIZE to 7169
# samples per side: a mosaic of 7 x 7 one-degree cells, 51.4 megapixels.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
size=${2:-7169}
runs=${RUNS:-5}
work_name=elvarin-bench
source bench/common.sh
bench_built elvarin-host
bench_work
ded="$work/mosaic.ded"

echo "generating a ${size} x ${size} mosaic ..."
start=$(date +%s.%N)
"$tool" sample "$ded" --kind mosaic --size "$size"
echo "  $(stat -c %s "$ded") bytes in $(calc "$(date +%s.%N) - $start" 6) s"
"$tool" info "$ded" | sed -n 's/^size *//p' | sed 's/^/  image /'

# Best of $runs wall-clock seconds for a shell command ($1), with an untimed
# clean-up ($2) before each run; the file is read once beforehand, so every
# run finds it in the page cache.
best() {
  local best_time=
  for _ in $(seq "$runs"); do
    local t0 t1 elapsed
    eval "${2:-true}"
    t0=$(date +%s.%N)
    eval "$1"
    t1=$(date +%s.%N)
    elapsed=$(calc "$t1 - $t0" 6)
    if [ -z "$best_time" ] || [ "$(verdict "$elapsed < $best_time")" = PASS ]; then
      best_time=$elapsed
    fi
  done
  echo "$best_time"
}

cat "$ded" >/dev/null
# Copying the same bytes: the input read, and an output of the PGM's size
# written, which is the least any conversion to PGM can cost.
"$tool" convert -q "$ded" "$work/same-size.pgm"
cat_s=$(best "cat '$ded' >/dev/null")
copy_s=$(best "cat '$ded' >/dev/null; cp '$work/same-size.pgm' '$work/copy.pgm'" "rm -f '$work/copy.pgm'")
pgm_s=$(best "'$tool' convert '$ded' '$work/out.pgm'" "rm -f '$work'/out.*")
png_s=$(best "'$tool' convert '$ded' '$work/out.png'" "rm -f '$work'/out.*")

printf '\n%-34s %8.3f s\n' "cat FILE > /dev/null" "$cat_s"
printf '%-34s %8.3f s\n' "cat FILE; cp of a same-size PGM" "$copy_s"
printf '%-34s %8.3f s   ratio %.2f (target <= 3)\n' "elvarin-host convert FILE OUT.pgm" "$pgm_s" \
  "$(calc "$pgm_s / $cat_s")"
copy_ratio=$(calc "$pgm_s / $copy_s")
echo "$(verdict "$copy_ratio <= 1.6") PGM: ${copy_ratio}x the time of copying the same bytes (target <= 1.6x)"
printf '%-34s %8.3f s   ratio %.2f\n' "elvarin-host convert FILE OUT.png" "$png_s" \
  "$(calc "$png_s / $cat_s")"

# Peak memory: the plug-in holds the 16-bit raster, the host buffer (one
# byte a pixel, rows padded to 4) and one cell at a time.
pixels=$((size * size))
echo
echo "image: ${pixels} pixels; raster $((pixels * 2 / 1024)) KiB + host buffer $((pixels / 1024)) KiB" \
  "+ one cell $((1025 * 1025 * 2 / 1024)) KiB"
for out in out.pgm out.png; do
  if [ -x /usr/bin/time ]; then
    rss=$(peak_kib "$tool" convert "$ded" "$work/$out")
  else
    rss=$("$tool" convert "$ded" "$work/$out" --stats 2>&1 | sed -n 's/.*peak RSS \([0-9]*\) KiB.*/\1/p')
  fi
  echo "peak RSS converting to ${out#out.}: ${rss} KiB"
  rm -f "$work/$out"
done
echo
echo "phases of one run (elvarin-host convert --stats):"
for out in out.pgm out.png; do
  "$tool" convert "$ded" "$work/$out" --stats 2>&1 | sed "s/^elvarin-host: stats: /  ${out#out.}: /"
  rm -f "$work/$out"
done
