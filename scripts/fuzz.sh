#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time
# (FUZZ_SECONDS, default 60). A crash or a broken property stops it with a non-zero status.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD_DIR:-$here/build-fuzz}
seconds=${FUZZ_SECONDS:-60}
"$here/scripts/install-deps.sh"
CC=clang CXX=clang++ cmake -S "$here" -B "$build" -DADC_WITH_FUZZ=ON -DADC_WITH_QT=OFF \
  -DADC_WITH_TESTS=OFF -DADC_WITH_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=(framer parser run csv keyvalue)
cmake --build "$build" -j"$(nproc)" --target "${targets[@]/#/fuzz_}"
failed=0
for target in "${targets[@]}"; do
  work=$(mktemp -d)
  echo "== fuzz_$target for ${seconds}s"
  status=0
  (cd "$work" && "${FUZZ_RUNNER:-$build/bin/fuzz_$target}" -max_total_time="$seconds" \
      -max_len=70000 -rss_limit_mb=2048 -print_final_stats=1 \
      "$work" "$here/fuzz/corpus/$target") >"$work.log" 2>&1 || status=$?
  grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)' "$work.log" || true
  if [ "$status" -ne 0 ]; then
    echo "fuzz_$target failed (status $status):" >&2
    tail -n 40 "$work.log" >&2
    failed=$((failed + 1))
  fi
  rm -rf "$work" "$work.log"
done
echo "fuzzing: $((${#targets[@]} - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
