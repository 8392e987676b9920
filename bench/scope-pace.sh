#!/bin/sh
# Processor time of the real program at the demo's pace (9600 baud, INT run) on a virtual
# screen, without and then with --scope: the share of one core it takes over SECONDS after
# INT A/D Start is clicked and the run has settled (every thread's scheduler time, in
# nanoseconds). Needs xvfb-run and adc-damage-probe.
#
#   bench/scope-pace.sh [BUILD_DIR [SECONDS [ROUNDS]]]
set -eu
build=${1:-build}
seconds=${2:-20}
rounds=${3:-1}
round=0
while [ "$round" -lt "$rounds" ]; do
    round=$((round + 1))
    for args in "" "--scope"; do
        xvfb-run -a -s "-screen 0 1280x800x24" sh -c '
            cpu() { cat /proc/$1/task/*/schedstat 2>/dev/null | awk "{ t += \$1 } END { print t }"; }
            "$0"/bin/adconverter --demo $1 2>/dev/null &
            pid=$!
            sleep 2
            "$0"/bin/adc-damage-probe --click-only --button int
            sleep 3
            t0=$(cpu $pid)
            sleep "$2"
            t1=$(cpu $pid)
            kill $pid
            wait $pid 2>/dev/null || true
            awk -v a="$t0" -v b="$t1" -v s="$2" -v what="$1" -v load="$(cut -d" " -f1 /proc/loadavg)" \
                "BEGIN { printf \"adconverter --demo %s: %.1f ms in %s s = %.2f %% of a core (load %s)\n\", what, (b - a) / 1e6, s, (b - a) / 1e7 / s, load }"
        ' "$build" "$args" "$seconds"
    done
done
