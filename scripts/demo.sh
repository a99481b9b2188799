#!/usr/bin/env bash
# The main job: installs what is missing, builds everything, then brings the sensor
# driver up with a private naming service and event channel on 127.0.0.1, shows a
# TELEM and an ASYNCHRETURN command with their events, and prints the commands to talk
# to it. Ctrl-C stops everything. Arguments go to scripts/specimen-demo.sh (--once: show
# the commands and their events, then stop).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${BUILD_DIR:-$root/build}
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" "$build_dir"
exec bash "$root/scripts/specimen-demo.sh" "$@" "$build_dir"
