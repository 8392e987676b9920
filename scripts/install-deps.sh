#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build, the tests and the demo need
# and is not on this machine yet. Safe to run again: it does nothing when all is there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-serialport-dev libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev clang-format
  xvfb xauth fonts-liberation python3 libx11-dev libxcb1-dev libxdamage-dev libxtst-dev
  dpkg-dev file librsvg2-bin help2man man-db desktop-file-utils lintian procps
  libmosquitto-dev libssl-dev mosquitto mosquitto-clients openssl
)

# One question to dpkg for all of them: the second start should not wait for this.
declare -A installed=()
while read -r name _ flag state; do
  if [ "$flag $state" = "ok installed" ]; then installed[$name]=1; fi
done < <(dpkg-query -W -f='${Package} ${Status}\n' "${packages[@]}" 2>/dev/null || true)
missing=()
for p in "${packages[@]}"; do
  [ -n "${installed[$p]:-}" ] || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null; then
    echo "These Debian packages are missing: ${missing[*]}" >&2
    echo "Install them as root (this user cannot: no sudo), then run this again:" >&2
    echo "  su -c 'apt-get install ${missing[*]}'" >&2
    exit 1
  fi
  sudo="sudo"
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
