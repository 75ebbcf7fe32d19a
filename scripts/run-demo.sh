#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds everything and runs tarvel-sim on
# its built-in demo machine. Arguments are passed to the program.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" >/dev/null
echo "built: build/linux/tarvel-sim, build/win32/tarvel.exe, build/win64/tarvel64.exe"
exec "$root/build/linux/tarvel-sim" "$@"
