#!/usr/bin/env bash
# Builds the Debian package build/adconverter_<version>_<arch>.deb (or in $BUILD_DIR): installs
# what is missing, builds as scripts/build.sh does, and lets CPack pack the stripped programs,
# the menu entry, the icon, the manual pages and the documents. Options go to cmake.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$here/build}
"$here/scripts/install-deps.sh"
# Only what the package holds: the two programs, their manual pages and the documents.
BUILD_TARGETS="adconverter adc-board-sim packaging_files" "$here/scripts/build.sh" "$@"
rm -f "$build"/adconverter_*.deb
(cd "$build" && cpack -G DEB)
