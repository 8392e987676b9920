#!/bin/sh
# Processor time of the headless logger at the demo's 9600-baud pace, recording to a file in
# memory: the board's INT records (eight channels) against CSV lines of eight channels and
# name:value lines of the simulator's four, side by side over SECONDS after a settling second or two. The simulator's own
# time is not counted: only adconverter's (utime + stime of /proc/PID/stat).
#
#   bench/format-pace.sh [BUILD_DIR [SECONDS]]
set -eu
build=${1:-build}
seconds=${2:-60}
hz=$(getconf CLK_TCK)
dir=$(mktemp -d /dev/shm/adc-pace.XXXXXX)
trap 'rm -rf "$dir"' EXIT
pids=""
for format in "--mode int" "--format csv --channels 8" "--format keyvalue"; do
    name=$(echo "$format" | cut -d" " -f2)
    # shellcheck disable=SC2086
    "$build"/bin/adconverter --headless --demo --baud 9600 $format --record "$dir/$name.csv" \
        2>/dev/null &
    pids="$pids $name:$!"
done
sleep 3
for entry in $pids; do
    pid=${entry#*:}
    echo "$(cut -d" " -f14,15 "/proc/$pid/stat" | tr " " +)" >"$dir/${entry%%:*}.t0"
    wc -l <"$dir/${entry%%:*}.csv" >"$dir/${entry%%:*}.r0"
done
sleep "$seconds"
for entry in $pids; do
    name=${entry%%:*}
    pid=${entry#*:}
    t1=$(cut -d" " -f14,15 "/proc/$pid/stat" | tr " " +)
    rows=$(( $(wc -l <"$dir/$name.csv") - $(cat "$dir/$name.r0") ))
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    ticks=$(( ($t1) - ($(cat "$dir/$name.t0")) ))
    awk -v n="$name" -v t="$ticks" -v s="$seconds" -v hz="$hz" -v r="$rows" 'BEGIN {
        printf "%-9s %5d ticks of 1/%d s in %d s = %.3f %% of a core, %d rows (%.1f/s)\n",
               n, t, hz, s, 100 * t / hz / s, r, r / s }'
done
