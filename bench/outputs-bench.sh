#!/usr/bin/env bash
# elvarin-host convert to PNG, PGM and GeoTIFF against gdal_translate making
# the same formats from the same elevations, side by side on two generated
# files of the same size, a single cell and a mosaic: median wall time of
# RUNS runs each (interleaved, so a busy machine slows both alike), file size
# and peak memory, whether each of elvarin-host's images decodes to exactly
# the PGM's pixels, and the PGM's digest, to compare one build with another.
#
#   bash bench/outputs-bench.sh [BUILD_DIR] [SIZE]
#
# BUILD_DIR defaults to build/release (built if missing), SIZE to 7169
# samples per side: 51.4 megapixels, for the mosaic 7 x 7 one-degree cells.
# GDAL reads the elevations from an ESRI .hdr labelled raster (EHdr: a .bil
# of big-endian 16-bit rows, north first) made from the DED file's samples,
# and maps them onto grey levels over the same range the plug-in uses (the
# file's statistics), so neither side spends time finding the range.
#
# GeoTIFF is compared with what GDAL writes by default with tiles, DEFLATE
# and the horizontal predictor (ZLEVEL 6); cli/formats/tiff_writer.cpp uses a faster
# level (see there), so its file is larger, which the report shows. GDAL's
# own grey levels from -scale can differ by rounding from the plug-in's,
# which moves the compressed size a little, so the GeoTIFF size is also
# given against GDAL's default file of elvarin-host's own pixels.
#
# Prints PASS or FAIL for the targets, on each file: elvarin-host at least 6
# times as fast as gdal_translate for PNG and 5 times for PGM and GeoTIFF, a
# PNG no larger than GDAL's, and the peak memory of every elvarin-host
# conversion at most the image plus 64 MiB; and the elevations as an Int16
# GeoTIFF (--type int16) at least 5 times as fast as gdal_translate -ot Int16.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
size=${2:-7169}
runs=${RUNS:-5}
work_name=elvarin-outputs
source bench/common.sh
bench_needs gdal_translate python3 /usr/bin/time
bench_built elvarin-host
bench_work
# The deflate level cli/formats/tiff_writer.cpp uses, for the report.
tiff_level=$(sed -n 's/^constexpr int kDeflateLevel = \([0-9]*\);/\1/p' cli/formats/tiff_writer.cpp)
names=(elvarin-png gdal-png elvarin-pgm gdal-pgm elvarin-tif gdal-tif)
outputs=(e.png g.png e.pgm g.pgm e.tif g.tif)
declare -A speed_target=([png]=6 [pgm]=5 [tif]=5)
# The host's buffer (rows padded to 4 bytes) plus 64 MiB, in KiB.
limit=$(( ((size + 3) / 4 * 4 * size + 1023) / 1024 + 64 * 1024 ))

# Generates the file of one kind (elvarin-host sample --kind), times every
# command on it and prints the report and the verdicts, each line starting
# with the file's name.
bench_file() {
  local kind=$1 file=$2
  local ded="$work/$file.ded"
  echo "generating a ${size} x ${size} $file ..."
  "$tool" sample "$ded" --kind "$kind" --size "$size"

  # The DED file's cells placed into one grid, north row first, as an EHdr
  # raster; prints the statistics' elevation range.
  local low high
  read -r low high < <(python3 - "$ded" "$work/grid" <<'PY'
import array, struct, sys
source, target = sys.argv[1], sys.argv[2]
data = open(source, 'rb').read()
if data[4:8] != b'KVTR':
    sys.exit(source + ': not a DED file')
count, low, high = struct.unpack_from('>ihh', data, 128)
cells, pos = [], 160
for _ in range(max(count, 1)):
    y_min, y_max, x_min, x_max, _, _, rows, columns = struct.unpack_from('>8f', data, pos)
    cells.append((y_min, y_max, x_min, x_max, int(rows), int(columns)))
    pos += 40
west, east = min(c[2] for c in cells), max(c[3] for c in cells)
south, north = min(c[0] for c in cells), max(c[1] for c in cells)
dx = (cells[0][3] - cells[0][2]) / (cells[0][5] - 1)
dy = (cells[0][1] - cells[0][0]) / (cells[0][4] - 1)
width, height = round((east - west) / dx) + 1, round((north - south) / dy) + 1
grid = [array.array('h', bytes(2 * width)) for _ in range(height)]
for y_min, y_max, x_min, x_max, rows, columns in cells:
    # Samples stay in the file's byte order: they are only moved, never read.
    samples = array.array('h', data[pos:pos + 2 * rows * columns])
    pos += 2 * rows * columns
    left, top = round((x_min - west) / dx), round((north - y_max) / dy)
    for r in range(rows):  # r counts from the southern edge
        grid[top + rows - 1 - r][left:left + columns] = samples[r::rows]
with open(target + '.bil', 'wb') as out:
    for row in grid:
        out.write(row.tobytes())
with open(target + '.hdr', 'w') as out:
    out.write(f'BYTEORDER M\nLAYOUT BIL\nNROWS {height}\nNCOLS {width}\nNBANDS 1\nNBITS 16\n'
              f'PIXELTYPE SIGNEDINT\nULXMAP {west!r}\nULYMAP {north!r}\nXDIM {dx!r}\nYDIM {dy!r}\n')
print(low, high)
PY
  )
  echo "  elevations $low..$high m; EHdr raster $(stat -c %s "$work/grid.bil") bytes"

  local scale=(-ot Byte -scale "$low" "$high" 0 255)
  local commands=(
    "'$tool' convert '$ded' '$work/e.png'"
    "gdal_translate -q -of PNG ${scale[*]} -co ZLEVEL=1 '$work/grid.bil' '$work/g.png'"
    "'$tool' convert '$ded' '$work/e.pgm'"
    "gdal_translate -q -of PNM ${scale[*]} '$work/grid.bil' '$work/g.pgm'"
    "'$tool' convert '$ded' '$work/e.tif'"
    "gdal_translate -q -of GTiff ${scale[*]} -co TILED=YES -co COMPRESS=DEFLATE -co PREDICTOR=2 '$work/grid.bil' '$work/g.tif'"
  )

  cat "$ded" "$work/grid.bil" >/dev/null # both in the page cache before the first run
  local -A times=() peak=() med=()
  local run i t0 t1 rss name
  for run in $(seq "$runs"); do
    for i in "${!names[@]}"; do
      rm -f "$work/${outputs[$i]}"*
      t0=$(date +%s.%N)
      /usr/bin/time -v -o "$work/time.txt" bash -c "${commands[$i]}"
      t1=$(date +%s.%N)
      times[${names[$i]}]+="$(calc "$t1 - $t0") "
      rss=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time.txt")
      peak[${names[$i]}]=$(( rss > ${peak[${names[$i]}]:-0} ? rss : ${peak[${names[$i]}]:-0} ))
    done
    echo "  run $run of $runs done"
  done

  printf '\n%-22s %10s %12s %14s\n' "" "median s" "bytes" "peak RSS KiB"
  for i in "${!names[@]}"; do
    name=${names[$i]}
    med[$name]=$(tr ' ' '\n' <<<"${times[$name]}" | grep . | median)
    printf '%-22s %10.3f %12d %14d\n' "$file $name" "${med[$name]}" \
      "$(stat -c %s "$work/${outputs[$i]}")" "${peak[$name]}"
  done

  # The last run's images: elvarin-host's decoded by GDAL must match its PGM.
  local pixels=$((size * size))
  same() { cmp -s <(tail -c "$pixels" "$1") <(tail -c "$pixels" "$2") && echo identical || echo DIFFERENT; }
  gdal_translate -q -of PNM "$work/e.png" "$work/e-png.pgm"
  gdal_translate -q -of PNM "$work/e.tif" "$work/e-tif.pgm"
  gdal_translate -q -of GTiff -co TILED=YES -co COMPRESS=DEFLATE -co PREDICTOR=2 "$work/e.pgm" \
    "$work/same-pixels.tif"
  echo
  echo "$file: pixels' digest (md5 of the PGM) $(md5sum <"$work/e.pgm" | cut -d' ' -f1)"
  local format ratio sizes line
  for format in png pgm tif; do
    ratio=$(calc "${med[gdal-$format]} / ${med[elvarin-$format]}")
    sizes=$(calc "$(stat -c %s "$work/e.$format") / $(stat -c %s "$work/g.$format")")
    line="$file $format: elvarin-host ${ratio}x as fast as gdal_translate, file ${sizes} of GDAL's"
    case $format in
      png) line+="; pixels $(same "$work/e-png.pgm" "$work/e.pgm")" ;;
      tif) line+=" (libdeflate level $tiff_level, GDAL's default ZLEVEL 6); pixels"
           line+=" $(same "$work/e-tif.pgm" "$work/e.pgm")" ;;
    esac
    echo "$line"
    if [ "$format" = tif ]; then
      sizes=$(calc "$(stat -c %s "$work/e.tif") / $(stat -c %s "$work/same-pixels.tif")")
      echo "$file tif: file ${sizes} of GDAL's default from the same pixels"
    fi
    echo "$(verdict "$ratio >= ${speed_target[$format]}") $file $format speed: ${ratio}x as fast" \
      "(target >= ${speed_target[$format]}x)"
    if [ "$format" = png ]; then
      echo "$(verdict "$sizes <= 1") $file $format size: ${sizes} of GDAL's (target <= 1)"
    fi
  done
  for format in png pgm tif; do
    rss=${peak[elvarin-$format]}
    echo "$(verdict "$rss <= $limit") $file $format memory: peak RSS $rss KiB" \
      "(target <= $limit KiB, the image plus 64 MiB)"
  done

  # The elevations themselves (--type int16) against gdal_translate -ot Int16
  # with tiles, DEFLATE and the horizontal predictor from the same EHdr
  # raster; both decoded must hold the same samples.
  local int16_commands=(
    "'$tool' convert '$ded' '$work/e16.tif' --type int16 -q"
    "gdal_translate -q -ot Int16 -co TILED=YES -co COMPRESS=DEFLATE -co PREDICTOR=2 '$work/grid.bil' '$work/g16.tif'"
  )
  local int16_outputs=(e16.tif g16.tif)
  local int16_times=("" "")
  for run in $(seq "$runs"); do
    for i in 0 1; do
      rm -f "$work/${int16_outputs[$i]}"*
      t0=$(date +%s.%N)
      bash -c "${int16_commands[$i]}"
      t1=$(date +%s.%N)
      int16_times[$i]+="$(calc "$t1 - $t0") "
    done
  done
  local e16 g16 samples16 ratio16
  e16=$(tr ' ' '\n' <<<"${int16_times[0]}" | grep . | median)
  g16=$(tr ' ' '\n' <<<"${int16_times[1]}" | grep . | median)
  gdal_translate -q -of ENVI "$work/e16.tif" "$work/e16.raw"
  gdal_translate -q -of ENVI "$work/g16.tif" "$work/g16.raw"
  samples16=$(cmp -s "$work/e16.raw" "$work/g16.raw" && echo identical || echo DIFFERENT)
  ratio16=$(calc "$g16 / $e16")
  echo "$file int16 tif: elvarin-host $(calc "$e16") s, gdal_translate $(calc "$g16") s:" \
    "${ratio16}x as fast; file $(calc "$(stat -c %s "$work/e16.tif") / $(stat -c %s "$work/g16.tif")")" \
    "of GDAL's; samples $samples16"
  echo "$(verdict "$ratio16 >= 5") $file int16 tif speed: ${ratio16}x as fast (target >= 5x)"
  echo
}

bench_file geographic single-cell
bench_file mosaic mosaic
echo "load average after the runs: $(cut -d' ' -f1-3 /proc/loadavg)"
