#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need; quick when they are there.
set -euo pipefail
packages=(cmake ninja-build g++ clang libgtest-dev libgmock-dev googletest libbenchmark-dev
          libpng-dev zlib1g-dev
          libclang-rt-14-dev lcov) # libFuzzer for scripts/fuzz.sh; scripts/coverage.sh
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}"
fi
