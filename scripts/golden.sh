#!/usr/bin/env bash
# Rewrites the golden transcripts (tests/golden/out/) from the current
# program and shows what changed, for review: commit the change only if
# every difference is meant. CI never runs this.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build/linux}
[ -f "$build/build.ninja" ] || cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j2 --target tarvel-sim tarvel-capture-sim e2e_tests
# Files of cases that are gone would linger: start from none.
find tests/golden/out -type f ! -name .gitattributes -delete
TARVEL_GOLDEN_UPDATE=1 "$build/tests/e2e_tests" --gtest_filter='Cases/Golden.*:CaptureCli.*' \
    --gtest_brief=1 >/dev/null || true
# Cases that share a file but no longer agree fail here.
"$build/tests/e2e_tests" --gtest_filter='Cases/Golden.*:GoldenTable.*' --gtest_brief=1
git status --short -- tests/golden
git diff --stat -- tests/golden
git diff -- tests/golden
