#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer in build/fuzz and runs each for the given
# number of seconds (default 60) on a copy of its seed corpus. Fails when a
# target finds a crash, a leak, a timeout or a broken property; the input
# that did it is left in build/fuzz/artifacts/<target>/. Seeds of an earlier
# form of the machine generator (fuzz/corpus/<name>-v1/) are read as well:
# any bytes make a machine, only no longer the one they were chosen for.
#   scripts/fuzz.sh [seconds] [target ...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(cmdline_fuzz wildcard_fuzz output_fuzz run_fuzz capture_fuzz)
build=build/fuzz
jobs=$(nproc)

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTARVEL_FUZZ=ON >/dev/null
cmake --build "$build" -j"$jobs" --target "${targets[@]}"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
for target in "${targets[@]}"; do
    name=${target%_fuzz}
    corpus="$build/corpus/$name"
    artifacts="$build/artifacts/$target"
    mkdir -p "$corpus" "$artifacts"
    # The committed seeds stay as they are; what the run adds lands here.
    cp -n fuzz/corpus/"$name"/* "$corpus"/ 2>/dev/null || true
    older=()
    [ -d fuzz/corpus/"$name"-v1 ] && older=(fuzz/corpus/"$name"-v1)
    echo "== $target: $seconds s"
    if ! "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
            -max_len=8192 -len_control=0 -print_final_stats=1 -artifact_prefix="$artifacts/" \
            "$corpus" "${older[@]}" 2>"$build/$target.log"; then
        tail -n 60 "$build/$target.log"
        echo "!! $target failed; inputs in $artifacts/"
        status=1
    else
        grep -E '^(Done|stat::peak_rss_mb)' \
            "$build/$target.log" || true
    fi
done
exit $status
