#!/bin/sh
# Builds the libFuzzer targets with clang and runs each for a bounded time.
#   fuzz/run-fuzzers.sh [SECONDS] [TOPIC...]
# SECONDS is the time per target (default 60). Without topics every fuzz/<topic>/ runs;
# each topic builds the target fuzz_<topic>, seeded from fuzz/<topic>/corpus, with the
# dictionary fuzz/<topic>/<topic>.dict when there is one. New inputs and crash files go
# to the build directory (BUILD_DIR, default build-fuzz), never into the seed corpus; each
# target's output goes to fuzz-work/<topic>/fuzz.log there and one summary line is printed.
# Run it at low priority on a shared machine: nice -n 10 fuzz/run-fuzzers.sh 600
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
[ $# -gt 0 ] && shift
build=${BUILD_DIR:-$root/build-fuzz}

if ! command -v clang++ >/dev/null 2>&1; then
  echo "run-fuzzers: clang++ is needed (apt-get install clang)" >&2
  exit 1
fi

topics=${*:-$(cd "$root/fuzz" && for d in */; do [ -f "$d/CMakeLists.txt" ] && echo "${d%/}"; done)}

mkdir -p "$build"
generator=
command -v ninja >/dev/null 2>&1 && generator="-G Ninja"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" $generator -DBUILD_FUZZERS=ON \
  -DBUILD_BENCHMARKS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$build/configure.log" 2>&1 || {
  cat "$build/configure.log" >&2
  exit 1
}

status=0
for topic in $topics; do
  cmake --build "$build" -j2 --target "fuzz_$topic"
  work="$build/fuzz-work/$topic"
  mkdir -p "$work/corpus" "$work/artifacts"
  set -- "$work/corpus" "$root/fuzz/$topic/corpus" -max_total_time="$seconds" \
    -artifact_prefix="$work/artifacts/" -print_final_stats=1
  [ -f "$root/fuzz/$topic/$topic.dict" ] && set -- "$@" -dict="$root/fuzz/$topic/$topic.dict"
  echo "run-fuzzers: fuzz_$topic for $seconds s (log: $work/fuzz.log)"
  if ! "$build/fuzz/$topic/fuzz_$topic" "$@" >"$work/fuzz.log" 2>&1; then
    tail -n 40 "$work/fuzz.log" >&2
    echo "run-fuzzers: fuzz_$topic found a problem; see $work/artifacts" >&2
    status=1
  fi
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/fuzz.log")
  added=$(sed -n 's/^stat::new_units_added: *//p' "$work/fuzz.log")
  echo "run-fuzzers: fuzz_$topic: ${executions:-?} executions, ${added:-?} new inputs," \
    "$(ls "$work/artifacts" | wc -l) findings"
done
exit $status
