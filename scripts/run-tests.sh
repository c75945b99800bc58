#!/usr/bin/env bash
# Builds everything and runs every test twice: in the normal build and in the
# AddressSanitizer and UndefinedBehaviorSanitizer build.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/setup.sh
jobs=$(nproc 2>/dev/null || echo 2)
export LC_ALL=C.UTF-8

for preset in default asan; do
  echo "== Build and tests: $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
done
