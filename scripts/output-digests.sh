#!/usr/bin/env bash
# Prints a digest of every output of elvarin-host's and the driver's main
# paths, to show a change that should not alter them leaves them byte for
# byte: run it on the build before and after, and compare the two lists.
#   bash scripts/output-digests.sh BUILD_DIR WORK_DIR > digests.txt
set -u
build=$(realpath "$1")
work=$2
host=$build/cli/elvarin-host
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 2
export GDAL_DRIVER_PATH=$build/gdal
"$host" sample -q geo.ded --size 601
"$host" sample -q utm.ded --kind utm --size 400 --hemisphere S
"$host" sample -q mos.ded --kind mosaic --size 2049
head -c 500000 mos.ded > cut.ded
for f in geo utm mos; do
  for format in png pgm tif; do
    "$host" convert -q "$f.ded" "$f.$format"; echo "convert $f $format: $?"
  done
  "$host" convert -q "$f.ded" "${f}_i16.tif" --type int16; echo "int16 $f: $?"
  "$host" convert -q "$f.ded" "${f}_as.png" --as-host; echo "as-host $f: $?"
  "$host" convert -q "${f}_i16.tif" "${f}_back.ded"; echo "back to DED $f: $?"
  "$host" info "$f.ded" > "$f.info.txt"; "$host" info --json "$f.ded" > "$f.info.json"
  gdal_translate -q -of GTiff "$f.ded" "${f}_gdal.tif"; echo "driver $f: $?"
done
"$host" info cut.ded > cut.info.txt 2>&1; echo "info cut: $?"
"$host" info --json cut.ded > cut.info.json 2>/dev/null; echo "info --json cut: $?"
"$host" convert cut.ded cut.png > cut.convert.txt 2>&1; echo "convert cut: $?"
for name in $(ls | sort); do
  echo "$(sha256sum < "$name" | cut -c1-16) $name"
done
