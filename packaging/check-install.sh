#!/usr/bin/env bash
# Checks an installed AD Converter the way its users meet it: exactly the expected files, both
# programs running from where they were installed (--version; --demo finding its simulator
# beside the program with nothing else set, and leaving none behind), a valid menu entry whose
# icon and program are there, and manual pages that render and name every option of --help.
#   check-install.sh PREFIX VERSION            checks what is installed under PREFIX
#   check-install.sh --install BUILD VERSION   first installs the build BUILD into a scratch folder
set -euo pipefail

fail() {
  echo "check-install: $*" >&2
  exit 1
}

scratch=$(mktemp -d)
demo_pid=""
cleanup() {
  if [ -n "$demo_pid" ]; then kill -KILL "$demo_pid" 2>/dev/null || true; fi
  rm -rf "$scratch"
}
trap cleanup EXIT

if [ "$1" = --install ]; then
  build=$2
  version=$3
  prefix=$scratch/prefix
  # cmake --install rewrites the build's install_manifest.txt, which lists the user's own
  # installation for removing it: keep that list as it was.
  manifest=$build/install_manifest.txt
  if [ -f "$manifest" ]; then cp "$manifest" "$scratch/manifest"; fi
  cmake --install "$build" --prefix "$prefix" >/dev/null
  if [ -f "$scratch/manifest" ]; then cp "$scratch/manifest" "$manifest"; else rm -f "$manifest"; fi
else
  prefix=$1
  version=$2
fi
bin=$prefix/bin

# Exactly these files: the programs, never a test, benchmark or fuzz target.
expected="bin/adc-board-sim
bin/adconverter
share/applications/adconverter.desktop
share/doc/adconverter/README.md
share/doc/adconverter/changelog.gz
share/doc/adconverter/copyright
share/doc/adconverter/docs/chooser.png
share/doc/adconverter/docs/menu.png
share/doc/adconverter/docs/other-boards.png
share/doc/adconverter/docs/performance.md
share/doc/adconverter/docs/scope.png
share/doc/adconverter/docs/window.png
share/icons/hicolor/scalable/apps/adconverter.svg
share/man/man1/adc-board-sim.1.gz
share/man/man1/adconverter.1.gz"
found=$(cd "$prefix" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort)
[ "$found" = "$expected" ] || fail "installed files differ from the expected ones:
$(diff <(echo "$expected") <(echo "$found") || true)"

# Every picture and page the installed README links to is installed beside it.
doc=$prefix/share/doc/adconverter
for link in $(grep -oE '\]\([^)#]+' "$doc/README.md" | cut -c3- | grep -v '://'); do
  [ -e "$doc/$link" ] || fail "README.md links $link, which is not installed"
done

for program in adconverter adc-board-sim; do
  got=$("$bin/$program" --version) || fail "$program --version failed"
  [ "$got" = "$program $version" ] || fail "$program --version says '$got', not '$program $version'"
done

# --demo with a bare environment: the simulator must be the one beside the program.
env -i PATH=/usr/bin:/bin HOME="$scratch" QT_QPA_PLATFORM=offscreen "$bin/adconverter" --demo \
  >"$scratch/demo.log" 2>&1 &
demo_pid=$!
simulator=""
for _ in $(seq 100); do
  simulator=$(pgrep -P "$demo_pid" -x adc-board-sim || true)
  if [ -n "$simulator" ]; then break; fi
  kill -0 "$demo_pid" 2>/dev/null || fail "adconverter --demo ended: $(cat "$scratch/demo.log")"
  sleep 0.1
done
[ -n "$simulator" ] || fail "adconverter --demo started no simulator within 10 s"
[ "$(readlink "/proc/$simulator/exe")" = "$(readlink -f "$bin/adc-board-sim")" ] ||
  fail "adconverter --demo started $(readlink "/proc/$simulator/exe"), not $bin/adc-board-sim"
sleep 1
kill -0 "$demo_pid" 2>/dev/null || fail "adconverter --demo ended early: $(cat "$scratch/demo.log")"
kill -TERM "$demo_pid"
wait "$demo_pid" 2>/dev/null || true
demo_pid=""
ended() { ! kill -0 "$1" 2>/dev/null || grep -q '^State:.*Z' "/proc/$1/status" 2>/dev/null; }
for _ in $(seq 50); do
  if ended "$simulator"; then break; fi
  sleep 0.1
done
ended "$simulator" || fail "the simulator $simulator outlived adconverter --demo"

entry=$prefix/share/applications/adconverter.desktop
report=$(desktop-file-validate "$entry" 2>&1) || fail "the menu entry is not valid: $report"
[ -z "$report" ] || fail "desktop-file-validate: $report"
icon=$(sed -n 's/^Icon=//p' "$entry" | head -n 1)
[ -f "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no icon '$icon' installed"
exec_program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry" | sort -u)
for program in $exec_program; do
  [ -x "$bin/$program" ] || fail "the menu entry runs '$program', which is not installed"
done

for program in adconverter adc-board-sim; do
  page=$prefix/share/man/man1/$program.1.gz
  text=$(LC_ALL=C.UTF-8 MANWIDTH=200 man --warnings -l "$page" 2>"$scratch/man.err") ||
    fail "man -l $page failed: $(cat "$scratch/man.err")"
  [ ! -s "$scratch/man.err" ] || fail "man -l $page warns: $(cat "$scratch/man.err")"
  for section in NAME SYNOPSIS OPTIONS "EXIT STATUS" FILES; do
    grep -q "^$section\$" <<<"$text" || fail "$program.1 has no $section section"
  done
  for option in $("$bin/$program" --help | grep -oE -- '--[a-z][a-z-]*' | sort -u); do
    grep -qF -- "$option" <<<"$text" || fail "$program.1 does not name $option"
  done
done
# Every column of a recording is explained in the page's section on it.
header=$("$bin/adconverter" --headless --mode int --demo --count 1 --record - 2>/dev/null | head -n 1)
[ -n "$header" ] || fail "adconverter --headless --demo --record - wrote no header"
recording=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$prefix/share/man/man1/adconverter.1.gz" |
  sed -n '/^RECORDING$/,/^[A-Z][A-Z ]*$/p')
for column in ${header//,/ }; do
  grep -qw -- "$column" <<<"$recording" || fail "adconverter.1 does not explain the column $column"
done
echo "check-install: $prefix holds a working AD Converter $version"
