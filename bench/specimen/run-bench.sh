#!/usr/bin/env bash
# Runs the driver benchmark: a private naming service and event channel on 127.0.0.1,
# the driver (joined to the channel, its log in a file) and the bare server, then
# specimen_bench against both. Usage: bench/specimen/run-bench.sh [BUILD_DIR] [SECONDS] [ROUNDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build_dir=$(cd "${1:-$root/build}" && pwd)
seconds=${2:-0.2}
rounds=${3:-25}
work=$(mktemp -d "${TMPDIR:-/tmp}/specimen-bench.XXXXXX")
pids=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill -TERM "${pids[i]}" 2>/dev/null || true
    wait "${pids[i]}" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

source "$root/scripts/free-port.sh"
retry() {  # retry COMMAND...: up to 20 s
  for _ in $(seq 200); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "run-bench: '$*' never succeeded" >&2
  exit 1
}

free_port ns_port
free_port ev_port
free_port driver_port
free_port bare_port
initref="NameService=corbaloc::127.0.0.1:$ns_port/NameService"
mkdir -p "$work/names" "$work/events" "$work/driver"
omniNames -start "$ns_port" -datadir "$work/names" -ORBendPoint "giop:tcp:127.0.0.1:$ns_port" \
  >"$work/names.log" 2>&1 &
pids+=($!)
retry nameclt -ORBInitRef "$initref" list
omniEvents -f -p "$ev_port" -l "$work/events" -ORBendPointPublish "giop:tcp:127.0.0.1:$ev_port" \
  -ORBInitRef "$initref" >"$work/events.log" 2>&1 &
pids+=($!)
retry nameclt -ORBInitRef "$initref" resolve EventChannelFactory
eventc -n SpecimenChannel -q 1000000 -ORBInitRef "$initref" -ORBendPoint giop:tcp:127.0.0.1: \
  >/dev/null
cp "$root/specimen/Specimen-config.example.xml" "$work/driver/Specimen-config.xml"
(cd "$work/driver" && exec "$build_dir/specimen/specimen" \
  -ORBendPoint "giop:tcp:127.0.0.1:$driver_port" -ORBInitRef "$initref") \
  >"$work/driver.log" 2>&1 &
pids+=($!)
"$build_dir/bench/specimen/specimen_bare_server" "$bare_port" >"$work/bare.log" 2>&1 &
pids+=($!)
ctl=$build_dir/tools/specimenctl/specimenctl
retry "$ctl" ping "corbaloc::127.0.0.1:$driver_port/Specimen"
retry grep -q serving "$work/bare.log"
"$build_dir/bench/specimen/specimen_bench" "corbaloc::127.0.0.1:$driver_port/Specimen" \
  "corbaloc::127.0.0.1:$bare_port/Bare" "$seconds" "$rounds"
