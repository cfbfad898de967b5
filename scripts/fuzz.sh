#!/usr/bin/env bash
# Runs the libFuzzer target for a given number of seconds (default 600), built
# with the fuzz preset (clang, AddressSanitizer, UndefinedBehaviorSanitizer).
#   scripts/fuzz.sh [seconds] [more libFuzzer options]
# The corpus grows in build/fuzz/corpus and survives between runs; findings
# land in build/fuzz/findings. Reproduce one without libFuzzer with
#   build/fuzz/fuzz/ded_fuzz_replay <file>
# and, once fixed, keep it in tests/crashers with a name and a README line.
# FUZZ_WORKERS=n runs n fuzzing processes (default 1).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
shift || true
workers=${FUZZ_WORKERS:-1}
build=build/fuzz

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j 2 --target ded_fuzzer ded_fuzz_replay ded_make_seeds

mkdir -p "${build}/corpus" "${build}/findings"
rm -rf "${build}/seeds"
"${build}/fuzz/ded_make_seeds" seeds "${build}/seeds"

parallel=()
if [ "${workers}" -gt 1 ]; then
  parallel=(-fork="${workers}" -ignore_crashes=0)
fi

# Standard error is closed for the target (every unreadable header prints a
# line); libFuzzer and the sanitizers still report on their own copy of it.
status=0
"${build}/fuzz/ded_fuzzer" "${parallel[@]}" \
  -max_total_time="${seconds}" -timeout=10 -max_len=4096 -rss_limit_mb=2048 \
  -dict=fuzz/ded.dict -close_fd_mask=2 -print_final_stats=1 \
  -artifact_prefix="${build}/findings/" "$@" \
  "${build}/corpus" "${build}/seeds" tests/crashers || status=$?

if [ "${status}" -ne 0 ]; then
  echo "fuzz: finding(s) in ${build}/findings:" >&2
  ls -l "${build}/findings" >&2
fi
exit "${status}"
