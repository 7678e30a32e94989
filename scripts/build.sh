#!/usr/bin/env bash
# Builds the portable cores natively (also under ASan and UBSan) and the programs for x86_64 and i686 Windows.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
what=${1:-all}  # all, native, sanitize, x86_64 or i686
# WARNINGS_AS_ERRORS=ON (CI sets it) makes any compiler warning fail the Windows builds.
werror=${WARNINGS_AS_ERRORS:-OFF}

if [ "$what" = all ] || [ "$what" = native ]; then
  cmake --no-warn-unused-cli -S . -B build/native -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build build/native -j"$jobs"
fi
if [ "$what" = all ] || [ "$what" = sanitize ]; then
  cmake --no-warn-unused-cli -S . -B build/sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSANITIZE=ON >/dev/null
  cmake --build build/sanitize -j"$jobs" --target unit_tests
fi
if [ "$what" = all ] || [ "$what" = x86_64 ]; then
  cmake --no-warn-unused-cli -S . -B build/x86_64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64-w64-mingw32.cmake \
    -DWARNINGS_AS_ERRORS="$werror" >/dev/null
  cmake --build build/x86_64 -j"$jobs"
fi
if [ "$what" = all ] || [ "$what" = i686 ]; then
  cmake --no-warn-unused-cli -S . -B build/i686 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake -DBUILD_TESTS=OFF \
    -DWARNINGS_AS_ERRORS="$werror" >/dev/null
  cmake --build build/i686 -j"$jobs"
fi
