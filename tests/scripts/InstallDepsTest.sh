#!/usr/bin/env bash
# scripts/install-deps.sh for a user who is not root and has no sudo: it must name the missing
# packages, say how to install them and exit 1, without trying apt-get. dpkg-query, id and
# apt-get are stand-ins on a PATH that has no sudo.
set -euo pipefail
script=$(cd "$(dirname "$0")/../.." && pwd)/scripts/install-deps.sh
bin=$(mktemp -d)
trap 'rm -rf "$bin"' EXIT
for tool in bash grep; do ln -s "$(command -v "$tool")" "$bin/$tool"; done
cat >"$bin/dpkg-query" <<'STUB'
#!/bin/bash
# dpkg-query -W -f='${Package} ${Status}\n' PACKAGE...: everything is installed but cmake and
# clang-format, which it does not know.
status=0
for p in "$@"; do
  case "$p" in -*) ;; cmake|clang-format) status=1 ;; *) echo "$p install ok installed" ;; esac
done
exit $status
STUB
printf '#!/bin/bash\necho 1000\n' >"$bin/id"
printf '#!/bin/bash\necho "apt-get was run" >&2\nexit 100\n' >"$bin/apt-get"
chmod +x "$bin"/dpkg-query "$bin"/id "$bin"/apt-get

status=0
output=$(PATH="$bin" "$script" 2>&1) || status=$?
fail() {
  echo "FAILED: $1" >&2
  echo "status $status, output:" >&2
  echo "$output" >&2
  exit 1
}
[ "$status" -eq 1 ] || fail "the exit status is not 1"
grep -q "missing: cmake clang-format$" <<<"$output" || fail "the missing packages are not named"
grep -q "apt-get install cmake clang-format" <<<"$output" || fail "no way to install them"
! grep -q "apt-get was run\|command not found" <<<"$output" || fail "it tried to install"
echo "ok: $output"
