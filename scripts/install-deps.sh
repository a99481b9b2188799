#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the demo need.
# Idempotent: when everything is present it only asks dpkg and returns; apt-get update
# runs only when something is missing.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config make
  libgtest-dev libgmock-dev libbenchmark-dev
  libboost-dev libboost-thread-dev libboost-system-dev libboost-filesystem-dev
  libboost-serialization-dev libboost-date-time-dev libboost-program-options-dev
  libomniorb4-dev omniidl libcos4-dev omniorb-idl
  omniorb-nameserver omniorb omnievents
  socat iproute2 util-linux tmux procps
  libglib2.0-dev clang libclang-rt-dev
)

# A package counts as present when it is installed for this machine's architecture (or
# for all); on a machine that also has foreign architectures (the armhf cross build)
# dpkg-query prints one line per installed architecture.
arch=$(dpkg --print-architecture)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Architecture} ${db:Status-Status}\n' "$p" 2>/dev/null |
    grep -Eqx "($arch|all) installed" || missing+=("$p")
done

if [ "${#missing[@]}" -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages: ${missing[*]}; run this script as root" >&2
  exit 1
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
# The daemons' packages start system services on install; the project starts its own
# private copies, so keep the system ones from starting (and holding default ports).
policy=/usr/sbin/policy-rc.d
created_policy=0
if [ ! -e "$policy" ]; then
  printf '#!/bin/sh\nexit 101\n' >"$policy"
  chmod 755 "$policy"
  created_policy=1
fi
trap '[ "$created_policy" = 1 ] && rm -f "$policy"' EXIT
apt-get install -y -qq --no-install-recommends "${missing[@]}"
