#!/usr/bin/env bash
# Builds the package's wheel offline (pip, no build isolation, no index) from
# a copy of python/, installs it into a fresh venv made with
# --system-site-packages, and runs the package's tests with that venv.
#
#   bash tests/python/run_tests.sh PYTHON SOURCE_DIR WORK_DIR
#
# Exits 77 (CTest's skip) only when a Debian package it needs is missing.
# ELVARIN_SANITIZE_FLAGS builds the module with sanitizers, whose runtimes
# ELVARIN_PRELOAD names for the tests' Python (leak checks off: Python's).
set -euo pipefail
python=$1 source=$2 work=$3
missing=$("$python" - <<'PY'
import importlib.util
needed = {"pip": "python3-pip", "setuptools": "python3-setuptools", "pybind11": "python3-pybind11",
          "pytest": "python3-pytest", "numpy": "python3-numpy", "xarray": "python3-xarray",
          "dask": "python3-dask", "distributed": "python3-distributed", "venv": "python3-venv",
          "rioxarray": "python3-rioxarray", "osgeo": "python3-gdal"}
print(" ".join(deb for module, deb in needed.items() if importlib.util.find_spec(module) is None))
PY
)
if [ -n "$missing" ]; then
  echo "skipped: missing Debian packages: $missing (bash scripts/install-deps.sh)"
  exit 77
fi
package="$work/package"
rm -rf "$package" "$work/dist" "$work/venv"
mkdir -p "$package"
cp -r "$source/python/pyproject.toml" "$source/python/setup.py" "$source/python/README.md" \
      "$source/python/elvarin" "$package/"
if command -v ccache >/dev/null; then
  export CC="ccache ${CC:-$("$python" -c 'import sysconfig; print(sysconfig.get_config_var("CC"))')}"
fi
flags=${ELVARIN_SANITIZE_FLAGS:-}
CFLAGS="$flags" LDFLAGS="$flags" ELVARIN_SOURCE_DIR="$source" "$python" -m pip wheel -q --no-build-isolation --no-index --no-deps \
  -w "$work/dist" "$package"
"$python" -m venv --system-site-packages "$work/venv"
"$work/venv/bin/python" -m pip install -q --no-index --no-deps "$work"/dist/elvarin-*.whl
cd "$work"
export LD_PRELOAD=${ELVARIN_PRELOAD:-} ASAN_OPTIONS=detect_leaks=0:verify_asan_link_order=0
exec "$work/venv/bin/python" -m pytest -q -p no:cacheprovider "$source/tests/python"
