#!/usr/bin/env bash
# Builds everything and runs every test twice: in the normal build and in the
# AddressSanitizer and UndefinedBehaviorSanitizer build; then runs each fuzz
# target for a bounded time (THP_FUZZ_SECONDS, 60 by default) from the seed
# corpus in fuzz/corpus and the earlier findings in fuzz/findings.
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

echo "== Fuzzing: ${THP_FUZZ_SECONDS:-60} s per target (clang, ASan and UBSan)"
cmake -S . -B build/fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTHP_BUILD_FUZZ=ON -DTHP_BUILD_TESTS=OFF -DTHP_BUILD_GUI=OFF -DTHP_BUILD_BENCH=OFF >/dev/null
cmake --build build/fuzz --target thp_fuzzers -j "$jobs"
for target in dbf_reader export_document import_soluc; do
  work="build/fuzz/run/$target"
  rm -rf "$work"
  mkdir -p "$work/corpus"
  cp fuzz/corpus/"$target"/* "$work/corpus/"
  if [ -d fuzz/findings/"$target" ]; then cp fuzz/findings/"$target"/* "$work/corpus/"; fi
  options=(-max_total_time="${THP_FUZZ_SECONDS:-60}" -timeout=20 -rss_limit_mb=2560
           -print_final_stats=1 -artifact_prefix="$work/")
  if [ -f fuzz/"$target".dict ]; then options+=(-dict=fuzz/"$target".dict); fi
  if ! build/fuzz/fuzz/fuzz_"$target" "${options[@]}" "$work/corpus" 2>"$work/log"; then
    tail -n 60 "$work/log"
    echo "fuzz_$target broke a promise; the input is kept in $work (add it to fuzz/findings/$target)"
    exit 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log")
  seconds=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$work/log")
  echo "fuzz_$target: $runs executions in ${seconds:-?} s, no failure"
done
