#!/bin/sh
# How long --plot and --stats take on a recording of ROWS INT rows (10,000,000 unless told):
# the recording is written once into DIR (a 50 Hz sine, noise, a square wave and a ramp at
# 23,000 records a second), then each command runs three times; wall and processor time and
# the most memory resident are printed per run.
#
#   bench/plot-report.sh [BUILD_DIR [ROWS [DIR]]]
set -eu
build=${1:-build}
rows=${2:-10000000}
dir=${3:-/tmp}
file=$dir/adc-report-$rows.csv
if [ ! -s "$file" ]; then
    awk -v rows="$rows" 'BEGIN {
        srand(7);
        print "time,seconds,run,mode,count,ch0,ch1,ch2,ch3,ch4,ch5,ch6,ch7";
        for (i = 0; i < rows; i++) {
            t = i / 23000;
            s = int(t); ms = int((t - s) * 1000);
            printf "2026-12-07T%02d:%02d:%02d.%03dZ,%.6f,1,INT,%d,%d,%d,%d,%d,0,0,0,0\n",
                8 + int(s / 3600), int(s / 60) % 60, s % 60, ms, t, i + 1,
                512 + int(400 * sin(6.283185307 * 50 * t)), 500 + int(rand() * 20),
                (int(t * 2) % 2) ? 900 : 100, i % 1024;
        }
    }' > "$file"
fi
echo "$(wc -l < "$file") lines, $(du -h "$file" | cut -f1) in $file; load $(cut -d' ' -f1-3 /proc/loadavg)"
for what in "--plot $dir/adc-report.png" "--stats csv"; do
    for run in 1 2 3; do
        /usr/bin/time -f "adconverter --view FILE $what: %e s wall, %U s user, %S s system, %M KiB" \
            "$build"/bin/adconverter --view "$file" $what > /dev/null
    done
done
