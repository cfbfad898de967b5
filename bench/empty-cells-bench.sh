#!/usr/bin/env bash
# Cells that store nothing cost nothing: a geographic file whose one stored
# cell of SIZE x SIZE samples has N cells of 32767 x 32767 samples over it
# that the file ends before (N = 1, 10, 100, 1000) is read whole through the
# driver (gdal_translate to GTiff, gdalinfo -stats) and by
# elvarin-host convert --type int16, against the file of that one cell alone;
# a file of 1000 such cells and no sample is refused. Median wall time of
# RUNS runs each.
#
#   bash bench/empty-cells-bench.sh [BUILD_DIR] [SIZE]
#
# BUILD_DIR defaults to build/release, SIZE to 1000. Prints PASS or FAIL for
# the target: each file with empty cells within 1.5x the one-cell file's time
# plus 0.05 s, and the file of no sample refused within 0.5 s.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
size=${2:-1000}
runs=${RUNS:-3}
work_name=elvarin-empty-cells
source bench/common.sh
bench_needs gdal_translate gdalinfo python3
bench_built elvarin-host gdal_DED
export GDAL_DRIVER_PATH="$build/gdal"
bench_work

# write NAME STORED EMPTY: STORED (0 or 1) cells of SIZE x SIZE samples
# followed by EMPTY claimed cells of 32767 x 32767 at the same origin.
write() {
  python3 - "$work/$1.ded" "$2" "$3" "$size" <<'EOF'
import struct, sys
path, stored, empty, size = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
step = 30.0  # 1/36000 degree
def cell(n):
    span = (n - 1) * step / 36000
    return struct.pack('>8f2I', 45.0, 45.0 + span, 10.0, 10.0 + span, step, step, n, n, 0, 0)
cells = [cell(size)] * stored + [cell(32767)] * empty
header = struct.pack('>i4s3sc', 1, b'KVTR', b'GEO', b' ').ljust(128, b'\0')
stats = struct.pack('>ihh', len(cells), 0, 1000).ljust(32, b'\0')
samples = bytes(range(256)) * (size * size * 2 // 256 + 1)
with open(path, 'wb') as f:
    f.write(header + stats + b''.join(cells) + samples[: size * size * 2 * stored])
EOF
}

write one 1 0
names=(one)
for n in 1 10 100 1000; do
  write "empty$n" 1 "$n"
  names+=("empty$n")
done
write none 0 1000

timed() {
  local t0 t1
  t0=$(date +%s.%N)
  "$@" >/dev/null 2>&1 || true
  t1=$(date +%s.%N)
  calc "$t1 - $t0"
}

declare -A times
for run in $(seq "$runs"); do
  for name in "${names[@]}" none; do
    rm -f "$work/$name"-*.tif "$work/$name.ded.aux.xml"
    times[$name-gdal]+="$(timed gdal_translate -q -of GTiff "$work/$name.ded" "$work/$name-g.tif") "
    times[$name-stats]+="$(timed gdalinfo -stats "$work/$name.ded") "
    times[$name-int16]+="$(timed "$tool" convert "$work/$name.ded" "$work/$name-e.tif" -q --type int16) "
  done
  echo "  run $run of $runs done"
done

med() { tr ' ' '\n' <<<"${times[$1]}" | grep . | median; }
printf '\n%-10s %10s %14s %16s %12s\n' "" "bytes" "translate s" "gdalinfo -stats s" "int16 s"
lines=()
for name in "${names[@]}" none; do
  printf '%-10s %10s %14.3f %16.3f %12.3f\n' "$name" "$(stat -c %s "$work/$name.ded")" \
    "$(med "$name-gdal")" "$(med "$name-stats")" "$(med "$name-int16")"
done
same=identical
for name in "${names[@]:1}"; do
  cmp -s "$work/$name-e.tif" "$work/one-e.tif" || same=DIFFERENT
done
lines+=("$(verdict "\"$same\" == \"identical\"") the files with empty cells give the one cell's int16 GeoTIFF: $same")
for name in "${names[@]:1}"; do
  for way in gdal stats int16; do
    lines+=("$(verdict "$(med "$name-$way") <= 1.5 * $(med "one-$way") + 0.05") $name $way: $(med "$name-$way") s against $(med "one-$way") s for the one cell")
  done
done
refused="no output"
for out in g e; do
  [ ! -e "$work/none-$out.tif" ] || refused="an output written"
done
lines+=("$(verdict "$(med none-gdal) <= 0.5 && $(med none-int16) <= 0.5") no sample: refused in $(med none-gdal) s (driver), $(med none-int16) s (int16), $refused")
echo
printf '%s\n' "${lines[@]}"
echo "load average after the runs: $(cut -d' ' -f1-3 /proc/loadavg)"
