#!/usr/bin/env bash
# scripts/run.sh hands its options to adconverter and keeps the demo's simulated board on port 1
# unless a port is named. It runs from a copy beside stand-ins for the install, the build and
# the program, which prints the options it was given.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree/scripts" "$tree/build/bin"
cp "$source_dir/scripts/run.sh" "$tree/scripts/"
printf '#!/bin/sh\nexit 0\n' >"$tree/scripts/install-deps.sh"
printf '#!/bin/sh\nexit 0\n' >"$tree/scripts/build.sh"
printf '#!/bin/sh\necho "$*"\n' >"$tree/build/bin/adconverter"
chmod +x "$tree/scripts/"*.sh "$tree/build/bin/adconverter"

failed=0
expect() {
  local want=$1
  shift
  local got
  got=$(DISPLAY=:0 BUILD_DIR="$tree/build" "$tree/scripts/run.sh" "$@" 2>/dev/null | tail -n 1)
  if [ "$got" != "$want" ]; then
    echo "FAILED: run.sh $* started adconverter $got, not $want" >&2
    failed=1
  fi
}
expect "--demo"
expect "--demo --sweep" --sweep
expect "--demo --baud 300 --record x.csv" --baud 300 --record x.csv
expect "--port /dev/ttyUSB0 --sweep" --port /dev/ttyUSB0 --sweep
expect "--sweep --port=/dev/ttyUSB0" --sweep --port=/dev/ttyUSB0
expect "--demo --reconnect" --demo --reconnect
exit $failed
