#!/usr/bin/env bash
# Line coverage of the plug-in's own code (ded/, image/, host/) by the whole
# test suite: a GCC --coverage build in build/coverage, its tests run, lcov
# summing up. Prints the figure; the HTML report is build/coverage/html.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=build/coverage

cmake -S . -B "${build}" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_FLAGS=--coverage -DCMAKE_CXX_FLAGS=--coverage \
  -DCMAKE_EXE_LINKER_FLAGS=--coverage -DCMAKE_SHARED_LINKER_FLAGS=--coverage >/dev/null
cmake --build "${build}" -j 2
find "${build}" -name '*.gcda' -delete
ctest --test-dir "${build}" -j 2 >/dev/null || echo "coverage: some tests failed; the figure counts what ran" >&2

# geninfo of lcov 1.16 warns about its own Perl on stderr; keep that in a log.
lcov --quiet --capture --directory "${build}" --output-file "${build}/all.info" \
  2>"${build}/lcov.log" || { cat "${build}/lcov.log" >&2; exit 1; }
lcov --quiet --extract "${build}/all.info" "${root}/ded/*" "${root}/image/*" "${root}/host/*" \
  --output-file "${build}/plugin.info"
genhtml --quiet --output-directory "${build}/html" "${build}/plugin.info" >/dev/null
lcov --list "${build}/plugin.info"
lcov --summary "${build}/plugin.info" 2>&1 | grep -E 'lines'
