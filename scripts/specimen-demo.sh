#!/usr/bin/env bash
# Brings the sensor driver up with a private naming service and event channel on
# 127.0.0.1, shows a few commands and their events, prints the commands to talk to it,
# and keeps everything running until Ctrl-C.
# Usage: scripts/specimen-demo.sh [--once] [BUILD_DIR]
#   --once  show the commands and their events, then stop everything and exit
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
once=0
if [ "${1:-}" = "--once" ]; then
  once=1
  shift
fi
build_dir=${1:-${BUILD_DIR:-$root/build}}
build_dir=$(cd "$build_dir" && pwd)
specimen=$build_dir/specimen/specimen
ctl=$build_dir/tools/specimenctl/specimenctl
for program in "$specimen" "$ctl"; do
  [ -x "$program" ] || { echo "specimen-demo: $program is not built" >&2; exit 1; }
done

source "$root/scripts/free-port.sh"

work=$(mktemp -d "${TMPDIR:-/tmp}/specimen-demo.XXXXXX")
pids=()
stop_all() {
  trap - INT TERM EXIT
  # Newest first: the driver, then the event service, then the naming service.
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill -TERM "${pids[i]}" 2>/dev/null || true
    for _ in $(seq 50); do
      kill -0 "${pids[i]}" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL "${pids[i]}" 2>/dev/null || true
    wait "${pids[i]}" 2>/dev/null || true
  done
  # KEEP_DEMO=1 keeps the logs and data directories for a look afterwards.
  [ -n "${KEEP_DEMO:-}" ] || rm -rf "$work"
}
trap 'stop_all; exit 130' INT TERM
trap stop_all EXIT

wait_for() {  # wait_for DESCRIPTION COMMAND...: retries for up to 20 s
  local what=$1
  shift
  for _ in $(seq 200); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "specimen-demo: $what did not come up; logs are in $work" >&2
  trap - EXIT
  stop_all_keep_logs
  exit 1
}
stop_all_keep_logs() {
  local keep=$work
  work=/nonexistent-specimen-demo
  stop_all
  work=$keep
}

free_port ns_port
free_port ev_port
free_port driver_port
initref="NameService=corbaloc::127.0.0.1:$ns_port/NameService"
mkdir -p "$work/names" "$work/events" "$work/driver"

omniNames -start "$ns_port" -datadir "$work/names" -ORBendPoint "giop:tcp:127.0.0.1:$ns_port" \
  >"$work/names.log" 2>&1 &
pids+=($!)
wait_for "omniNames" nameclt -ORBInitRef "$initref" list

omniEvents -f -p "$ev_port" -l "$work/events" -ORBendPointPublish "giop:tcp:127.0.0.1:$ev_port" \
  -ORBInitRef "$initref" >"$work/events.log" 2>&1 &
pids+=($!)
wait_for "omniEvents" nameclt -ORBInitRef "$initref" resolve EventChannelFactory
eventc -n SpecimenChannel -q 100000 -ORBInitRef "$initref" -ORBendPoint giop:tcp:127.0.0.1: \
  >/dev/null

cp "$root/specimen/Specimen-config.example.xml" "$work/driver/Specimen-config.xml"

(cd "$work/driver" && exec "$specimen" -ORBendPoint "giop:tcp:127.0.0.1:$driver_port" \
  -ORBInitRef "$initref") >"$work/driver.log" 2>&1 &
pids+=($!)
driver=corbaloc::127.0.0.1:$driver_port/Specimen
wait_for "specimen" "$ctl" ping "$driver"

c="$ctl -ORBInitRef $initref"
show() {  # show COMMAND...: prints the command, then runs it
  printf '$'
  printf ' %q' "$@"
  echo
  "$@" || true
}

echo "== The driver runs; its log is $work/driver.log"
show $c ping "$driver"
show $c attributes "$driver"

echo
echo "== A TELEM command publishes a telemetry event (a watcher prints it)"
$c watch SpecimenChannel -n 2 -w 10000 >"$work/watch.txt" 2>&1 &
watcher=$!
for _ in $(seq 200); do
  grep -q '^watching' "$work/watch.txt" && break
  sleep 0.1
done
show $c send "$driver" "TELEM Temperatures Telemetry Specimen probe,double,21.5 count,ushort,3"
show $c send "$driver" "TELEMCHANGE 300 10 60 FLUSH"
wait "$watcher" || true
cat "$work/watch.txt"

echo
echo "== An ASYNCHRETURN command answers later through command-complete events"
show $c send "$driver" "ASYNCHRETURN 1 2" -c SpecimenChannel -r demo -t T1

cat <<MSG

== Talk to the driver yourself (another shell):
  $c ping $driver
  $c attributes $driver
  $c power-off $driver 30
  $c gps-note $driver 0 1 47.5 -122.25
  $c send $driver "TELEM Temperatures Telemetry Specimen probe,double,21.5"
  $c send $driver "ASYNCHRETURN 2 3" -c SpecimenChannel -r me -t T2
  $c publish-gps SpecimenChannel GPSSample GPSFix Navigation 1700000000 1 10.5 20.25
  $c watch SpecimenChannel          # every event on the channel, one line each
  $c send $driver SHUTDOWN          # ends the driver
  tail -f $work/driver.log          # the driver's log
MSG

if [ "$once" = 1 ]; then
  show $c send "$driver" SHUTDOWN
  for _ in $(seq 100); do
    kill -0 "${pids[2]}" 2>/dev/null || break
    sleep 0.1
  done
  if wait "${pids[2]}"; then
    echo "specimen exited with status 0"
  else
    echo "specimen exited with status $?" >&2
    exit 1
  fi
  exit 0
fi
echo
echo "Press Ctrl-C to stop the driver and the services."
wait "${pids[2]}" || true
