#!/usr/bin/env bash
# Makes the release a Windows user downloads, dist/tarvel-<version>.zip (the
# version from VERSION): sets up the machine, builds everything, checks the
# packing on the build's exes, then packs them with README.txt and
# SHA256SUMS. The entries carry the commit's time, so two runs on one commit
# with one toolchain give the same zip.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

scripts/setup.sh
scripts/build.sh
# No matching test (an exe missing from the build) is a failure, not a pass.
ctest --test-dir build/linux --output-on-failure --no-tests=error -R '^release\.'

version=$(head -n 1 VERSION)
if ! stamp=$(git log -1 --format=%ct 2>/dev/null); then
    stamp=315532800   # not a git checkout: 1980-01-01, the earliest a zip holds
fi
if [ -n "$(git status --porcelain 2>/dev/null)" ]; then
    echo "warning: the checkout has changes; the zip is not of a commit" >&2
fi
mkdir -p dist
zip=dist/tarvel-$version.zip
python3 scripts/release/package.py --time "$stamp" "$zip" \
    build/win32/tarvel.exe build/win64/tarvel64.exe \
    build/win32/tarvel-capture.exe build/win64/tarvel-capture64.exe
sha256sum "$zip"
