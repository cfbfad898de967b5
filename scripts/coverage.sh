#!/usr/bin/env bash
# Line coverage of the plug-in's own code (host/, ded/, image/, plugin/) by
# the whole test suite: the coverage preset's GCC --coverage build in
# build/coverage, its tests run, lcov summing up. Prints the figure; the HTML report is build/coverage/html.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=build/coverage

cmake --preset coverage >/dev/null
cmake --build --preset coverage -j 2
find "${build}" -name '*.gcda' -delete
ctest --preset coverage -j 2 >/dev/null || echo "coverage: some tests failed; the figure counts what ran" >&2

# geninfo of lcov 1.16 warns about its own Perl on stderr; keep that in a log.
lcov --quiet --capture --directory "${build}" --output-file "${build}/all.info" \
  2>"${build}/lcov.log" || { cat "${build}/lcov.log" >&2; exit 1; }
lcov --quiet --extract "${build}/all.info" "${root}/host/*" "${root}/ded/*" "${root}/image/*" \
  "${root}/plugin/*" \
  --output-file "${build}/plugin.info"
genhtml --quiet --output-directory "${build}/html" "${build}/plugin.info" >/dev/null
lcov --list "${build}/plugin.info"
lcov --summary "${build}/plugin.info" 2>&1 | grep -E 'lines'
