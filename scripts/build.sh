#!/usr/bin/env bash
# Configures and builds into build/ (or $BUILD_DIR): everything, or only the targets named in
# $BUILD_TARGETS (separated by blanks). ADC_WARNINGS_AS_ERRORS=ON makes warnings errors, as CI
# does; without it the build folder keeps the setting it has. Arguments go to the configure step.
# A new build folder uses Ninja when it is installed; a configured one is configured again only
# when arguments or settings are given (the build itself notices changed CMake files). On a
# terminal the build shows one line of progress; the compiler's output appears when it has
# something to say.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$here/build}
configure=(cmake -S "$here" -B "$build"
  ${ADC_WARNINGS_AS_ERRORS:+-DADC_WARNINGS_AS_ERRORS="$ADC_WARNINGS_AS_ERRORS"} "$@")
if [ ! -f "$build/CMakeCache.txt" ]; then
  if command -v ninja >/dev/null; then configure+=(-G Ninja); fi
  "${configure[@]}" >/dev/null
elif [ ${#configure[@]} -gt 5 ]; then
  "${configure[@]}" >/dev/null
fi
targets=()
if [ -n "${BUILD_TARGETS:-}" ]; then
  read -r -a names <<<"$BUILD_TARGETS"
  targets=(--target "${names[@]}")
fi
cmake --build "$build" -j"$(nproc)" "${targets[@]}"
