#!/usr/bin/env bash
# gdal_translate to an uncompressed GTiff through the DED driver against the
# same from an EHdr .bil of the same elevations (GDAL's own raw reader), side
# by side: a single cell of SIZE x SIZE samples and a mosaic of 7 x 7 cells
# of the same size. Median wall time of RUNS runs each, interleaved so a busy
# machine slows both alike, and whether both GTiffs hold the same samples.
#
#   bash bench/gdal-bench.sh [BUILD_DIR] [SIZE]
#
# BUILD_DIR defaults to build/release (the driver and elvarin-host built if
# missing), SIZE to 7169 samples per side (51.4 megapixels). The .bil is
# written from the DED file by gdal_translate through the driver itself
# (so its byte order is the machine's: GDAL's raw reader does not even swap).
# Prints PASS or FAIL for the target: the DED file within 1.2x the .bil's time.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
size=${2:-7169}
runs=${RUNS:-5}
work_name=elvarin-gdal
source bench/common.sh
bench_needs gdal_translate gdalinfo /usr/bin/time
bench_built elvarin-host gdal_DED
export GDAL_DRIVER_PATH="$build/gdal"
bench_work
echo "generating a ${size} x ${size} cell and a 7 x 7 mosaic of such cells' size ..."
"$tool" sample "$work/cell.ded" --size "$size" -q
"$tool" sample "$work/mosaic.ded" --kind mosaic --size "$size" -q
for name in cell mosaic; do
  gdal_translate -q -of EHdr "$work/$name.ded" "$work/$name.bil"
done

checksum() { gdalinfo -checksum "$1" | sed -n 's/.*Checksum=//p'; }

cat "$work"/*.ded "$work"/*.bil >/dev/null # all in the page cache before the first run
declare -A times peak
for run in $(seq "$runs"); do
  for name in cell mosaic; do
    for source in ded bil; do
      rm -f "$work/$name-$source.tif"
      t0=$(date +%s.%N)
      gdal_translate -q -of GTiff "$work/$name.$source" "$work/$name-$source.tif"
      t1=$(date +%s.%N)
      times[$name-$source]+="$(calc "$t1 - $t0") "
    done
  done
  echo "  run $run of $runs done"
done

printf '\n%-8s %12s %12s %8s  %s\n' "" "DED s" ".bil s" "ratio" "samples"
lines=()
for name in cell mosaic; do
  ded=$(tr ' ' '\n' <<<"${times[$name-ded]}" | grep . | median)
  bil=$(tr ' ' '\n' <<<"${times[$name-bil]}" | grep . | median)
  ratio=$(calc "$ded / $bil")
  same=DIFFERENT
  if [ "$(checksum "$work/$name-ded.tif")" = "$(checksum "$work/$name-bil.tif")" ]; then
    same=identical
  fi
  printf '%-8s %12.3f %12.3f %8s  %s\n' "$name" "$ded" "$bil" "$ratio" "$same"
  lines+=("$(verdict "$ratio <= 1.2") $name: the DED driver takes ${ratio}x the .bil's time (target <= 1.2x)")
  # Peak memory of the same copy, GDAL's default cache and swath.
  for source in ded bil; do
    rm -f "$work/$name-$source.tif"
    peak[$source]=$(peak_kib gdal_translate -q -of GTiff "$work/$name.$source" "$work/$name-$source.tif")
  done
  lines+=("$(verdict "${peak[ded]} <= ${peak[bil]}") $name: peak memory ${peak[ded]} KiB through the DED driver, ${peak[bil]} KiB through the .bil's (target: no more)")
done
echo
printf '%s\n' "${lines[@]}"
echo "load average after the runs: $(cut -d' ' -f1-3 /proc/loadavg)"
