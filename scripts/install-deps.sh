#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need; quick when they are there.
#
#   bash scripts/install-deps.sh          everything: the build, the tests, the Windows suite
#   bash scripts/install-deps.sh --build  only what building the plug-in, the stand-in host
#                                         library and elvarin-host needs (preset "host")
set -euo pipefail
build_only=false
case "${1:-}" in
  "") ;;
  --build) build_only=true ;;
  *) echo "usage: bash scripts/install-deps.sh [--build]" >&2; exit 2 ;;
esac
packages=(cmake ninja-build g++ pkg-config
          zlib1g-dev libisal-dev # elvarin-host's PNG writer
          libtiff-dev libgeotiff-dev libdeflate-dev libproj-dev # its GeoTIFF writer
          nlohmann-json3-dev libcli11-dev) # its JSON output and command line
if ! $build_only; then
  packages+=(clang libgtest-dev libgmock-dev googletest libbenchmark-dev libpng-dev
             gdal-bin python3 python3-jsonschema # tests read outputs as GIS tools do
             libgdal-dev python3-gdal python3-rasterio # the GDAL driver and its tests
             python3-dask python3-distributed python3-rioxarray # its scale-out test
             python3-pip python3-setuptools python3-venv pybind11-dev python3-pybind11 # the wheel
             python3-pytest python3-numpy python3-xarray python3-pyproj # the package's tests
             libclang-rt-14-dev lcov) # libFuzzer for scripts/fuzz.sh; scripts/coverage.sh
  # The Windows build: the 32-bit mingw-w64 cross compiler (its posix flavour)
  # and 32-bit Wine to run the test programs (wine32 is an i386 package).
  packages+=(g++-mingw-w64-i686 g++-mingw-w64-i686-posix binutils-mingw-w64-i686 wine wine32:i386)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  if [[ " ${missing[*]} " == *:i386* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}"
fi
