#!/usr/bin/env bash
# The main job: installs what is missing, builds everything and shows how to use it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${BUILD_DIR:-$root/build}
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" "$build_dir"
cat <<MSG

Built into $build_dir. What you can run now:
  $build_dir/warden/warden            # the monitor server (on/off/kill over "busyworkaround")
  $build_dir/warden/warden on         # ask it to switch its busy loop on (starts a server if none)
MSG
