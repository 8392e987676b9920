#!/bin/sh
# Processor time of the real program at the demo's pace (9600 baud, INT run) on a virtual
# screen, without and then with --scope: the share of one core it takes over SECONDS after
# INT A/D Start is clicked and the run has settled. Needs xvfb-run and adc-damage-probe.
#
#   bench/scope-pace.sh [BUILD_DIR [SECONDS]]
set -eu
build=${1:-build}
seconds=${2:-20}
hz=$(getconf CLK_TCK)
for args in "" "--scope"; do
    xvfb-run -a -s "-screen 0 1280x800x24" sh -c '
        "$0"/bin/adconverter --demo $1 2>/dev/null &
        pid=$!
        sleep 2
        "$0"/bin/adc-damage-probe --click-only --button int
        sleep 3
        t0=$(cut -d" " -f14,15 /proc/$pid/stat | tr " " +)
        sleep "$2"
        t1=$(cut -d" " -f14,15 /proc/$pid/stat | tr " " +)
        kill $pid
        wait $pid 2>/dev/null || true
        echo "adconverter --demo $1: $(( ($t1) - ($t0) )) ticks of $3 in $2 s =" \
            "$(awk -v t=$(( ($t1) - ($t0) )) -v s="$2" -v hz="$3" "BEGIN { printf \"%.2f\", 100 * t / hz / s }") % of a core"
    ' "$build" "$args" "$seconds" "$hz"
done
