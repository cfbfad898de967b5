#!/usr/bin/env bash
# The suite as 32-bit Windows code: cross-built with mingw-w64 (preset
# "windows"), the test programs run under Wine in a prefix inside the build
# folder, so a fresh machine needs nothing but the packages.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)

echo "== windows"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "${jobs}"

# The same environment the test preset gives every test; console programs only,
# so no display, and no Mono or Gecko offered when the prefix is created.
export WINEPREFIX="${PWD}/build/windows/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "${WINEPREFIX}"
# One Wine server for the whole run instead of one per test (one may already
# be running for this prefix); stopped on the way out, this prefix's only.
wineserver -p 2>/dev/null || true
trap 'wineserver -k 2>/dev/null || true' EXIT
wineboot -i >/dev/null 2>&1

ctest --preset windows -j "${jobs}"
