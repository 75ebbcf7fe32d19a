#!/usr/bin/env bash
# Builds every target: tarvel-sim and the tests (Linux), tarvel.exe and
# tarvel-capture.exe (32-bit Windows), tarvel64.exe and tarvel-capture64.exe
# (64-bit Windows). Extra arguments go to the Linux configure step.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

jobs=$(nproc)
cmake -S . -B build/win32 -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
cmake --build build/win32 -j"$jobs"
cmake -S . -B build/win64 -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake
cmake --build build/win64 -j"$jobs"
cmake -S . -B build/linux -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTARVEL32_EXE="$root/build/win32/tarvel.exe" \
    -DTARVEL64_EXE="$root/build/win64/tarvel64.exe" \
    -DTARVEL_CAPTURE32_EXE="$root/build/win32/tarvel-capture.exe" \
    -DTARVEL_CAPTURE64_EXE="$root/build/win64/tarvel-capture64.exe" \
    -DTARVEL_WINE_STACK_DIR="$root/build/win64/fakeusb" "$@"
cmake --build build/linux -j"$jobs"
