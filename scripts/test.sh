#!/usr/bin/env bash
# One command from a fresh machine to a full test run: installs what is missing, builds
# everything (the program, the simulator, the tests and the benchmarks) and runs every test
# through ctest.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/install-deps.sh"
"$here/scripts/build.sh"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "${BUILD_DIR:-$here/build}" --output-on-failure -j2 --timeout 300
