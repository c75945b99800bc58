#!/usr/bin/env bash
# Builds the tool and the benchmark in the default preset and measures export
# and import against libxml2's streaming reader for documents of 2,000 to
# 1,000,000 assignments. The table is printed and kept in
# build/default/bench-work/latest.md. Arguments go to thp-benchmark, e.g.
#   scripts/run-benchmark.sh --sizes 2000,20000,200000 --repeat 7
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default --target thp-benchmark

work="$root/build/default/bench-work"
mkdir -p "$work"
build/default/bench/thp-benchmark --work "$work" --output "$work/latest.md" "$@"
