#!/usr/bin/env bash
# Sets up a fresh Debian machine and runs every test: the unit, simulated
# end-to-end and Windows-build tests (wine64 included), then the unit and
# simulated suites again under AddressSanitizer and UndefinedBehaviorSanitizer,
# then each libFuzzer target for a minute.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc)

scripts/setup.sh
scripts/build.sh
ctest --test-dir build/linux --output-on-failure -j"$jobs"

cmake -S . -B build/linux-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARVEL_SANITIZE=ON
cmake --build build/linux-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build/linux-asan --output-on-failure -j"$jobs"

scripts/fuzz.sh 60
