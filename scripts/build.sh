#!/usr/bin/env bash
# Configures and builds out of tree. Usage: scripts/build.sh [BUILD_DIR] [extra cmake args...]
# SANITIZE=address,undefined or SANITIZE=thread in the environment selects a sanitizer build.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${1:-$root/build}
shift || true
generator=()
command -v ninja >/dev/null 2>&1 && generator=(-G Ninja)
# An existing build tree keeps its generator.
[ -f "$build_dir/CMakeCache.txt" ] && generator=()
cmake -S "$root" -B "$build_dir" "${generator[@]}" \
  -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
  -DSANITIZE="${SANITIZE:-}" \
  "$@"
cmake --build "$build_dir" -j "$(nproc)"
