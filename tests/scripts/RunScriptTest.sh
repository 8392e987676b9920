#!/usr/bin/env bash
# scripts/run.sh hands its options to adconverter and keeps the demo's simulated board on port 1
# unless a port is named; its own progress goes to standard error, so that standard output holds
# the program's alone (scripts/run.sh > x.csv). It runs from a copy beside stand-ins for the
# install and the build, which report on standard output, and for the program, which prints the
# options it was given.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree/scripts" "$tree/build/bin"
cp "$source_dir/scripts/run.sh" "$tree/scripts/"
printf '#!/bin/sh\necho Installing\n' >"$tree/scripts/install-deps.sh"
printf '#!/bin/sh\necho Building\n' >"$tree/scripts/build.sh"
printf '#!/bin/sh\necho "$*"\n' >"$tree/build/bin/adconverter"
chmod +x "$tree/scripts/"*.sh "$tree/build/bin/adconverter"

failed=0
expect() {
  local display=$1 want=$2
  shift 2
  local got
  got=$(DISPLAY=$display WAYLAND_DISPLAY= BUILD_DIR="$tree/build" "$tree/scripts/run.sh" "$@" \
    2>/dev/null)
  if [ "$got" != "$want" ]; then
    echo "FAILED: run.sh $* wrote '$got' on standard output, not adconverter's '$want'" >&2
    failed=1
  fi
}
expect :0 "--demo"
expect :0 "--demo --sweep" --sweep
expect :0 "--demo --baud 300 --record x.csv" --baud 300 --record x.csv
expect :0 "--port /dev/ttyUSB0 --sweep" --port /dev/ttyUSB0 --sweep
expect :0 "--sweep --port=/dev/ttyUSB0" --sweep --port=/dev/ttyUSB0
expect :0 "--demo --reconnect" --demo --reconnect
expect "" "--headless --demo --mode int --record -"
exit $failed
