#!/usr/bin/env bash
# Inspects the Debian package that scripts/package.sh made: its name and control fields, the
# dependencies found from the programs, its files and their owners, lintian's verdict, and the
# programs unpacked from it (through check-install.sh).
#   check-package.sh build/adconverter_<version>_<arch>.deb
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
deb=$1

fail() {
  echo "check-package: $*" >&2
  exit 1
}

dpkg-deb -I "$deb"
field() { dpkg-deb -f "$deb" "$1"; }
version=$(field Version)
[ "$(basename "$deb")" = "adconverter_${version}_$(field Architecture).deb" ] ||
  fail "$deb is not named adconverter_<version>_<arch>.deb"
for name in Maintainer Section Description Installed-Size; do
  [ -n "$(field "$name")" ] || fail "no $name field"
done
[ "$(field Description | wc -l)" -ge 3 ] || fail "no long description"
# The package names, without versions, one a line.
depends=$(field Depends | sed 's/, */\n/g' | sed 's/ .*//')
for library in libc6 libstdc++6 libqt6core6 libqt6widgets6 libqt6serialport6 qt6-qpa-plugins \
    libmosquitto1; do
  grep -qxF "$library" <<<"$depends" || fail "Depends does not name $library: $(field Depends)"
done

contents=$(dpkg-deb -c "$deb")
for program in adconverter adc-board-sim; do
  grep -qE "^-rwxr-xr-x root/root .* \./usr/bin/$program$" <<<"$contents" ||
    fail "no executable /usr/bin/$program owned by root: $contents"
done

lintian --fail-on error "$deb" || fail "lintian finds errors"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dpkg-deb -x "$deb" "$scratch"
"$here/check-install.sh" "$scratch/usr" "$version"
echo "check-package: $deb passed"
