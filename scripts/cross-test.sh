#!/usr/bin/env bash
# The armhf cross build and its tests under user-mode emulation:
# prepares the machine (scripts/cross-prepare.sh), configures BUILD_DIR with
# cmake/toolchain-armhf.cmake, builds at low priority and runs CTest, each test under
# qemu-arm-static. Ends with the armhf .deb when PACKAGE=1.
#
# Usage: scripts/cross-test.sh [BUILD_DIR] [extra cmake args...]
#   JOBS=2          build and test jobs (the default leaves room on a shared machine)
#   PACKAGE=1       also make the armhf Debian package into BUILD_DIR/packages
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${1:-$root/build-armhf}
shift || true
jobs=${JOBS:-2}

bash "$root/scripts/cross-prepare.sh"

generator=()
command -v ninja >/dev/null 2>&1 && generator=(-G Ninja)
[ -f "$build_dir/CMakeCache.txt" ] && generator=()
# Benchmarks under emulation measure the emulator, and the fuzzers need clang: the cross
# build leaves both out (the fuzz replay runners still build and run).
cmake -S "$root" -B "$build_dir" "${generator[@]}" \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-armhf.cmake" \
  -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
  -DBUILD_BENCHMARKS=OFF -DBUILD_FUZZERS=OFF \
  "$@"
nice -n 10 cmake --build "$build_dir" -j "$jobs"

# Tests that cannot run under user-mode emulation (see README, "armhf"):
excluded=(
)
exclude_args=()
if [ "${#excluded[@]}" -gt 0 ]; then
  exclude_args=(-E "$(IFS='|'; echo "${excluded[*]}")")
fi
cd "$build_dir"
# Tests keep their own limits; --timeout covers any test that sets none.
nice -n 10 ctest --output-on-failure -j "$jobs" --timeout 600 "${exclude_args[@]}"

if [ "${PACKAGE:-0}" = 1 ]; then
  cpack --config "$build_dir/CPackConfig.cmake" -B "$build_dir/packages"
fi
