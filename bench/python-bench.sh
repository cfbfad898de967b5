#!/usr/bin/env bash
# Reading a DED file into numpy through the Python package (elvarin, no GDAL)
# against the GDAL driver's ReadAsArray of the same file: a single cell of
# SIZE x SIZE samples and a 7 x 7 mosaic of such cells' size. Median wall
# time of RUNS reads each (each in a fresh process, open and read, imports
# not counted), interleaved so a busy machine slows both alike, whether both
# give the same samples, and each process's peak memory against the array's
# size.
#
#   bash bench/python-bench.sh [BUILD_DIR] [SIZE]
#
# BUILD_DIR defaults to build/release (the driver and elvarin-host built if
# missing), SIZE to 7169 samples per side (51.4 megapixels). The package is
# built as a wheel offline into a venv in the scratch folder. Prints PASS or
# FAIL for the targets: the package no slower than the driver, and its peak
# memory no more than the array and one window (2 MiB) above an empty read's.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
size=${2:-7169}
runs=${RUNS:-5}
work_name=elvarin-python
source bench/common.sh
bench_needs /usr/bin/python3 /usr/bin/time
bench_built elvarin-host gdal_DED
export GDAL_DRIVER_PATH="$build/gdal"
bench_work
echo "building the wheel and a venv ..."
/usr/bin/python3 -m pip wheel -q --no-build-isolation --no-index --no-deps -w "$work/dist" ./python
/usr/bin/python3 -m venv --system-site-packages "$work/venv"
"$work/venv/bin/pip" install -q --no-index --no-deps "$work"/dist/elvarin-*.whl
python="$work/venv/bin/python"
echo "generating a ${size} x ${size} cell and a 7 x 7 mosaic of such cells' size ..."
"$tool" sample "$work/cell.ded" --size "$size" -q
"$tool" sample "$work/mosaic.ded" --kind mosaic --size "$size" -q
cat "$work"/*.ded >/dev/null # in the page cache before the first run

# Prints the seconds one open and read take, the samples' CRC and their bytes.
cat >"$work/read.py" <<'PY'
import sys, time, zlib
how, path = sys.argv[1], sys.argv[2]
if how == "elvarin":
    import elvarin
    start = time.perf_counter()
    with elvarin.open(path) as f:
        z = f.read()
else:
    from osgeo import gdal
    gdal.UseExceptions()
    start = time.perf_counter()
    z = gdal.Open(path).ReadAsArray()
seconds = time.perf_counter() - start
print(f"{seconds:.4f} {zlib.crc32(z)} {z.nbytes}")
PY

declare -A times crc bytes
for run in $(seq "$runs"); do
  for name in cell mosaic; do
    for how in elvarin gdal; do
      read -r seconds sum nbytes < <("$python" "$work/read.py" "$how" "$work/$name.ded")
      times[$name-$how]+="$seconds "
      crc[$name-$how]=$sum
      bytes[$name]=$nbytes
    done
  done
  echo "  run $run of $runs done"
done

printf '\n%-8s %12s %12s %8s  %s\n' "" "elvarin s" "driver s" "ratio" "samples"
lines=()
baseline=$(peak_kib "$python" -c "import elvarin")
for name in cell mosaic; do
  ours=$(tr ' ' '\n' <<<"${times[$name-elvarin]}" | grep . | median)
  theirs=$(tr ' ' '\n' <<<"${times[$name-gdal]}" | grep . | median)
  ratio=$(calc "$ours / $theirs")
  same=DIFFERENT
  [ "${crc[$name-elvarin]}" != "${crc[$name-gdal]}" ] || same=identical
  printf '%-8s %12.3f %12.3f %8s  %s\n' "$name" "$ours" "$theirs" "$ratio" "$same"
  lines+=("$(verdict "$ratio <= 1") $name: the package takes ${ratio}x the driver's ReadAsArray time (target <= 1x)")
  peak=$(peak_kib "$python" "$work/read.py" elvarin "$work/$name.ded")
  array=$(( ${bytes[$name]} / 1024 ))
  lines+=("$(verdict "$peak - $baseline <= $array + 2048 + 1024") $name: peak memory ${peak} KiB, $(( peak - baseline )) KiB above an import's ${baseline} KiB, for an array of ${array} KiB (target: the array, one 2 MiB window, 1 MiB slack)")
  lines+=("       the driver's process: $(peak_kib "$python" "$work/read.py" gdal "$work/$name.ded") KiB")
done
echo
printf '%s\n' "${lines[@]}"
echo "load average after the runs: $(cut -d' ' -f1-3 /proc/loadavg)"
