#!/usr/bin/env bash
# Prepares a Debian 12 amd64 machine for the armhf cross build and for running its tests
# under user-mode emulation. Idempotent: when everything is in place it asks dpkg once,
# reads one stamp file and returns without touching the network.
#
# What it sets up:
#   - the armhf foreign architecture, the cross compiler and qemu-user-static;
#   - the armhf Boost, GoogleTest/GoogleMock and Google Benchmark development packages
#     (these are Multi-Arch: same and install beside the amd64 ones);
#   - the armhf omniORB run-time libraries (Multi-Arch: same, so the emulated tests find
#     them in /usr/lib/arm-linux-gnueabihf);
#   - the armhf omniORB development packages, which cannot be installed beside the amd64
#     ones, downloaded and unpacked into the staging folder that
#     cmake/toolchain-armhf.cmake reads (default /opt/corvane-armhf-staging, or
#     $CORVANE_ARMHF_STAGING);
#   - a binfmt_misc entry for 32-bit ARM executables, so that an emulated test can start
#     another ARM program (fork + exec), as it can on a Debian machine running systemd.
#
# Usage: scripts/cross-prepare.sh          (as root)
set -euo pipefail

staging=${CORVANE_ARMHF_STAGING:-/opt/corvane-armhf-staging}
case "$staging" in
  /*/*) ;;
  *)
    # The folder is emptied before unpacking: keep it away from / and top-level folders.
    echo "cross-prepare: CORVANE_ARMHF_STAGING must be an absolute path below a folder" >&2
    exit 1
    ;;
esac
stamp="$staging/.staged-packages"

packages=(
  g++-arm-linux-gnueabihf qemu-user-static
  libboost-dev:armhf libboost-thread-dev:armhf libboost-system-dev:armhf
  libboost-filesystem-dev:armhf libboost-serialization-dev:armhf
  libboost-date-time-dev:armhf libboost-program-options-dev:armhf
  libgtest-dev:armhf libgmock-dev:armhf libbenchmark-dev:armhf
  libomniorb4-2:armhf libomnithread4:armhf libcos4-2:armhf
)
# Unpacked into the staging folder only: headers, pkg-config files and link symlinks,
# with the libraries the symlinks point at (and omniorb-idl, see wanted_stamp).
staged=(
  libomniorb4-dev libomnithread4-dev libcos4-dev
  libomniorb4-2 libomnithread4 libcos4-2
)

log() { echo "cross-prepare: $*"; }

# Prints "package:arch=version" for every staged package: all of them at the version of
# the installed armhf omniORB run-time library (the -dev packages pin that exact version),
# and the architecture-independent IDL files at the host's version, because pkg-config's
# idldir points into the staging folder too. Prints nothing while the library is missing.
wanted_stamp() {
  local p v idl
  v=$(dpkg-query -W -f='${Version}' libomniorb4-2:armhf 2>/dev/null) || return 0
  [ -n "$v" ] || return 0
  for p in "${staged[@]}"; do
    echo "$p:armhf=$v"
  done
  idl=$(dpkg-query -W -f='${Version}' omniorb-idl 2>/dev/null) || idl=
  [ -z "$idl" ] || echo "omniorb-idl=$idl"
}

missing_packages() {
  local p
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null | grep -qx installed || echo "$p"
  done
}

register_binfmt() {
  local dir=/proc/sys/fs/binfmt_misc conf=/usr/lib/binfmt.d/qemu-arm.conf
  [ -e "$dir/qemu-arm" ] && return 0
  if [ ! -e "$dir/register" ]; then
    mount -t binfmt_misc binfmt_misc "$dir" 2>/dev/null || {
      log "binfmt_misc is not available: emulated tests cannot start other ARM programs"
      return 0
    }
  fi
  [ -e "$dir/qemu-arm" ] && return 0
  if [ ! -f "$conf" ]; then
    log "no $conf: emulated tests cannot start other ARM programs"
    return 0
  fi
  # The package's entry has the F flag: the kernel opens the interpreter now, so it
  # also works inside other mount namespaces and chroots.
  grep -v '^#' "$conf" >"$dir/register" || log "could not register $conf"
}

mapfile -t missing < <(missing_packages)
want=$(wanted_stamp)
if [ "${#missing[@]}" -eq 0 ] && [ -n "$want" ] && [ -f "$stamp" ] &&
  [ "$(cat "$stamp")" = "$want" ]; then
  register_binfmt
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "cross-prepare: run this script as root" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive

if ! dpkg --print-foreign-architectures | grep -qx armhf; then
  log "adding the armhf architecture"
  dpkg --add-architecture armhf
fi
apt-get update -qq
if [ "${#missing[@]}" -gt 0 ]; then
  log "installing ${missing[*]}"
  apt-get install -y -qq --no-install-recommends "${packages[@]}"
fi

want=$(wanted_stamp)
if [ -z "$want" ]; then
  echo "cross-prepare: the armhf omniORB libraries did not install" >&2
  exit 1
fi
if [ ! -f "$stamp" ] || [ "$(cat "$stamp")" != "$want" ]; then
  log "staging the armhf omniORB development files in $staging"
  download=$(mktemp -d)
  # apt-get download writes as the _apt user.
  chown _apt "$download" 2>/dev/null || chmod 777 "$download"
  trap 'rm -rf "$download"' EXIT
  mapfile -t debs <<<"$want"
  (cd "$download" && apt-get download -qq "${debs[@]}")
  rm -rf "$staging"
  mkdir -p "$staging"
  for deb in "$download"/*.deb; do
    dpkg-deb -x "$deb" "$staging"
  done
  # The pkg-config files name /usr: point them at the staging folder instead, so that
  # pkg-config can read them beside the multiarch ones without a sysroot.
  sed -i "s|^prefix=/usr\$|prefix=$staging/usr|" "$staging"/usr/lib/arm-linux-gnueabihf/pkgconfig/*.pc
  if grep -L "^prefix=$staging/usr\$" "$staging"/usr/lib/arm-linux-gnueabihf/pkgconfig/*.pc | grep -q .; then
    echo "cross-prepare: unexpected prefix in the staged pkg-config files" >&2
    exit 1
  fi
  echo "$want" >"$stamp"
fi

register_binfmt
log "ready (staging folder: $staging)"
