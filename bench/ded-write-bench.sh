#!/usr/bin/env bash
# Writing DED files from GeoTIFFs, side by side with GDAL writing the same
# samples as EHdr (a raw .bil, GDAL's simplest writer): gdal_translate -of
# DED, elvarin-host convert IN OUT.ded and gdal_translate -of EHdr from
# three Int16 GeoTIFFs of the sample terrain:
#   square   SIZE x SIZE geographic, tiled
#   striped  WIDE x 1201 geographic (3 arc-seconds), DEFLATE in strips of
#            rows (GDAL's default layout): the cells are read across strips
#   tall     5 x TALL UTM (30 m), DEFLATE in strips: one cell, its columns
#            far longer than the window
# Median wall time of RUNS runs and the peak resident memory (/usr/bin/time)
# of each, and whether the DED files hold the GeoTIFFs' samples.
#
#   bash bench/ded-write-bench.sh [BUILD_DIR] [SIZE] [BIG_SIDE]
#
# BUILD_DIR defaults to build/release, SIZE to 7169 samples a side (51.4
# megapixels), WIDE (environment) to 60000, TALL to 250000. With BIG_SIDE
# (e.g. 32000, a gigapixel: 2 GiB of GeoTIFF and as much DED; see df) the
# peak memory of writing a BIG_SIDE-square source through both ways is
# measured too. Prints PASS or FAIL for the target: each DED write within
# 1.5x the EHdr write's time.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
size=${2:-7169}
big=${3:-}
runs=${RUNS:-5}
wide=${WIDE:-60000}
tall=${TALL:-250000}
tool="$build/cli/elvarin-host"
export GDAL_DRIVER_PATH="$build/gdal"
[ -x /usr/bin/time ] || { echo "ded-write-bench: needs /usr/bin/time (Debian package time)" >&2; exit 1; }
if [ ! -x "$tool" ] || [ ! -f "$build/gdal/gdal_DED.so" ]; then
  cmake --preset release >/dev/null
  cmake --build --preset release -j 2 --target elvarin-host gdal_DED
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/elvarin-dedwrite.XXXXXX")
trap 'rm -rf "$work"' EXIT

# A SIZE-square geographic Int16 GeoTIFF of the sample terrain, one degree.
source_of() { # side, name
  "$tool" sample "$work/$2-src.ded" --size "$1" -q
  gdal_translate -q -of GTiff -co TILED=YES "$work/$2-src.ded" "$work/$2.tif"
  rm -f "$work/$2-src.ded"
}

# The terrain stretched to WIDTH x HEIGHT pixels over the bounds given, in
# DEFLATE strips; pixel centres on whole multiples of the pixel size.
striped_of() { # width, height, srs, ulx uly lrx lry, name
  "$tool" sample "$work/terrain.ded" --size 1201 -q
  gdal_translate -q -r bilinear -outsize "$1" "$2" -a_srs "$3" -a_ullr "$4" "$5" "$6" "$7" \
    -co COMPRESS=DEFLATE "$work/terrain.ded" "$work/$8.tif"
  rm -f "$work/terrain.ded"
}

calc() { awk "BEGIN { printf \"%.3f\", $1 }"; }
exact() { awk "BEGIN { printf \"%.12f\", $1 }"; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
# Runs a command under /usr/bin/time; prints "seconds peak-KiB".
measure() {
  /usr/bin/time -f '%e %M' -o "$work/time" "$@" >/dev/null 2>"$work/err" || { cat "$work/err" >&2; exit 1; }
  cat "$work/time"
}
way() { # way, source, output
  case $1 in
    gdal-ded) measure gdal_translate -q -of DED "$2" "$3.ded" ;;
    gdal-ded-cache64) measure gdal_translate -q --config GDAL_CACHEMAX 64 -of DED "$2" "$3.ded" ;;
    host-ded) measure "$tool" convert "$2" "$3.ded" -q ;;
    ehdr) measure gdal_translate -q -of EHdr "$2" "$3.bil" ;;
  esac
}

# Times the three ways on one source and prints the table with verdicts.
compare() { # name, label
  cat "$work/$1.tif" >/dev/null
  declare -A times peaks
  for run in $(seq "$runs"); do
    for w in gdal-ded host-ded ehdr; do
      rm -f "$work/out".*
      read -r seconds peak < <(way "$w" "$work/$1.tif" "$work/out")
      times[$w]+="$seconds "
      peaks[$w]=$peak
    done
  done
  gdal_translate -q -of DED "$work/$1.tif" "$work/check.ded"
  same=$([ "$(gdalinfo -checksum "$work/check.ded" | sed -n 's/.*Checksum=//p')" = \
          "$(gdalinfo -checksum "$work/$1.tif" | sed -n 's/.*Checksum=//p')" ] && echo same || echo DIFFER)
  rm -f "$work/check.ded"
  ehdr=$(echo "${times[ehdr]}" | tr ' ' '\n' | grep . | median)
  printf '\n%-34s %10s %10s %8s\n' "$2" "median s" "peak MiB" "x EHdr"
  for w in gdal-ded host-ded ehdr; do
    t=$(echo "${times[$w]}" | tr ' ' '\n' | grep . | median)
    ratio=$(calc "$t / $ehdr")
    verdict=""
    [ "$w" != ehdr ] && verdict=$(awk "BEGIN { exit !($ratio <= 1.5) }" && echo PASS || echo FAIL)
    printf '%-34s %10s %10s %8s  %s\n' "$w" "$t" "$(calc "${peaks[$w]} / 1024")" "$ratio" "$verdict"
  done
  echo "samples of the DED file against the GeoTIFF's: $same"
}

echo "generating the sources ..."
source_of "$size" src
# 3 arc-seconds from 0 E, 46..47 N; 30 m from northing 500000 in zone 33 N.
striped_of "$wide" 1201 EPSG:4326 -0.000416666666667 47.000416666666667 \
  "$(exact "($wide - 0.5) / 1200")" 45.999583333333333 striped
striped_of 5 "$tall" EPSG:32633 499985 "$(exact "499985 + $tall * 30")" 500135 499985 tall
compare src "${size} x ${size} Int16, tiled"
compare striped "${wide} x 1201 Int16, DEFLATE strips"
compare tall "5 x ${tall} Int16 UTM, DEFLATE strips"

if [ -n "$big" ]; then
  echo
  echo "generating a ${big} x ${big} source ..."
  source_of "$big" big
  # GDAL's block cache takes 5 % of the machine's memory unless told
  # otherwise; elvarin-host gives it 64 MiB, gdal_translate what its user says.
  for w in gdal-ded gdal-ded-cache64 host-ded ehdr; do
    rm -f "$work/out".*
    read -r seconds peak < <(way "$w" "$work/big.tif" "$work/out")
    printf '%-28s %10s s %10s MiB peak\n' "$w ${big}^2" "$seconds" "$(calc "$peak / 1024")"
  done
fi
