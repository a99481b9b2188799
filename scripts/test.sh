#!/usr/bin/env bash
# The whole test suite: installs what is missing, builds, runs CTest and prints its summary.
# Usage: scripts/test.sh [BUILD_DIR] [extra cmake args...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${1:-$root/build}
shift || true
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" "$build_dir" "$@"
cd "$build_dir"
ctest --output-on-failure -j "$(nproc)" --timeout 300
