#!/usr/bin/env bash
# One command from a fresh machine to the running program: installs what is missing, builds
# the program and the board simulator (nothing else; scripts/test.sh builds the tests), and
# starts adconverter with the demo (a simulated board on port 1). Options are handed to
# adconverter too (scripts/run.sh --sweep); with --port the named device is port 1 instead of the
# demo's board (scripts/run.sh --port /dev/ttyUSB0). Everything it says itself goes to standard
# error: standard output is the program's (scripts/run.sh > x.csv without a display).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$here/build}
"$here/scripts/install-deps.sh" >&2
echo "Building adconverter and adc-board-sim in $build ..." >&2
export BUILD_TARGETS="adconverter adc-board-sim"
if [ -t 2 ] && command -v ninja >/dev/null &&
  ! grep -qs '^CMAKE_GENERATOR:INTERNAL=Unix Makefiles' "$build/CMakeCache.txt"; then
  # Ninja keeps its progress on one line and shows the compiler's output where there is some.
  if ! "$here/scripts/build.sh" >&2; then
    echo "The build failed (its output is above)." >&2
    exit 1
  fi
else
  log=$(mktemp)
  if ! "$here/scripts/build.sh" >"$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log"
    echo "The build failed (its output is above)." >&2
    exit 1
  fi
  rm -f "$log"
fi
unset BUILD_TARGETS
# The demo's simulated board stays on port 1 unless the options name a port of their own.
args=("$@")
case " $* " in
  *" --port "* | *" --port="* | *" --demo "*) ;;
  *) args=(--demo "$@") ;;
esac
program="$build/bin/adconverter"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  if [ $# -eq 0 ]; then
    echo "No display found: logging the simulated board's INT records without a window; the CSV follows (Ctrl+C stops)." >&2
    exec "$program" --headless --demo --mode int --record -
  fi
  case " $* " in *" --headless "*) exec "$program" "${args[@]}" ;; esac
  echo "No display found: starting adconverter on a virtual X display (xvfb-run)." >&2
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$program" "${args[@]}"
fi
exec "$program" "${args[@]}"
