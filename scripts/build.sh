#!/usr/bin/env bash
# Configures and builds into build/ (or $BUILD_DIR): everything, or only the targets named in
# $BUILD_TARGETS (separated by blanks). ADC_WARNINGS_AS_ERRORS=ON makes warnings errors, as CI
# does; without it the build folder keeps the setting it has. Arguments go to the configure step.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$here/build}
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  ${ADC_WARNINGS_AS_ERRORS:+-DADC_WARNINGS_AS_ERRORS="$ADC_WARNINGS_AS_ERRORS"} "$@" >/dev/null
targets=()
if [ -n "${BUILD_TARGETS:-}" ]; then
  read -r -a names <<<"$BUILD_TARGETS"
  targets=(--target "${names[@]}")
fi
cmake --build "$build" -j"$(nproc)" "${targets[@]}"
