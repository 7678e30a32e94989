#!/usr/bin/env bash
# Builds the fuzz targets of the portable cores (clang, libFuzzer, ASan and UBSan) and runs each one
# for SECONDS (default 10) from its seed corpus; new inputs go to build/fuzz/corpus, never to the seeds.
# Extra arguments go to every target; FUZZ_TARGETS names a subset (the long campaign runs two halves at once).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-10}
shift || true
bash scripts/setup.sh
cmake -S . -B build/fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DFUZZ=ON -DBUILD_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/fuzz -j"$(nproc 2>/dev/null || echo 2)" >/dev/null
for target in ${FUZZ_TARGETS:-ConfigRecord NewsReply IntegerText LineShortening ReceiveRing Settings Rfc2217}; do
  corpus=build/fuzz/corpus/$target
  mkdir -p "$corpus"
  echo "== $target, $seconds s"
  build/fuzz/${target}Fuzz -max_total_time="$seconds" -print_final_stats=1 -max_len=20000 -artifact_prefix=build/fuzz/ "$@" \
    "$corpus" "tests/fuzz/corpus/$target" 2>&1 |
    grep -E "^#[0-9]+[[:space:]]+DONE|^stat::number_of_executed_units|^stat::peak_rss|ERROR|property failed|SUMMARY" | tail -6
  echo "corpus: $(find "$corpus" -type f | wc -l) inputs, $(du -sk "$corpus" | cut -f1) KiB"
done
