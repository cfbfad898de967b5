#!/usr/bin/env bash
# Every test the project has: the suite in a Release build, then the same
# suite under AddressSanitizer and UndefinedBehaviorSanitizer, then a few
# minutes of fuzzing, then the suite as 32-bit Windows code under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)

for preset in release sanitize; do
  echo "== ${preset}"
  cmake --preset "${preset}" >/dev/null
  cmake --build --preset "${preset}" -j "${jobs}"
  ctest --preset "${preset}" -j "${jobs}"
done

# A bounded run of the fuzz target (clang, both sanitizers); a finding fails
# the run and is left in build/fuzz/findings.
echo "== fuzz"
bash scripts/fuzz.sh "${ELVARIN_FUZZ_SECONDS:-180}"

bash scripts/test-windows.sh
