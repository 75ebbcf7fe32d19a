#!/usr/bin/env bash
# Sets up a fresh Debian machine and runs every test: the unit, simulated
# end-to-end and Windows-build tests (wine64 included), then the unit and
# simulated suites again under AddressSanitizer and UndefinedBehaviorSanitizer,
# then each libFuzzer target for a minute. A stage that fails does not stop
# the later ones: every stage reports, and the script fails at the end,
# naming each stage that failed. Skipped tests are listed with their reason.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc)

failed=()
# stage NAME COMMAND...: runs COMMAND; a failure is remembered, not fatal.
stage() {
    local name=$1
    shift
    echo "== $name"
    if "$@"; then
        return 0
    fi
    echo "!! stage failed: $name"
    failed+=("$name")
    return 1
}

# Without the packages no stage can run.
scripts/setup.sh

junit=()
if stage "build" scripts/build.sh; then
    junit+=("$root/build/linux/junit.xml")
    stage "tests" ctest --test-dir build/linux --output-on-failure -j"$jobs" \
        --output-junit "$root/build/linux/junit.xml" || true
fi

if stage "sanitizer configure" cmake -S . -B build/linux-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
        -DTARVEL_SANITIZE=ON && stage "sanitizer build" cmake --build build/linux-asan -j"$jobs"; then
    junit+=("$root/build/linux-asan/junit.xml")
    stage "sanitizer tests" env ASAN_OPTIONS=detect_leaks=1 \
        UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        ctest --test-dir build/linux-asan --output-on-failure -j"$jobs" \
        --output-junit "$root/build/linux-asan/junit.xml" || true
fi

stage "fuzzing" scripts/fuzz.sh 60 || true

echo "== summary"
python3 scripts/skipped.py "${junit[@]}"
if [ ${#failed[@]} -gt 0 ]; then
    printf 'FAILED stage: %s\n' "${failed[@]}"
    exit 1
fi
echo "All stages passed."
