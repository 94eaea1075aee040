#!/usr/bin/env bash
# Checks the Debian package as a user meets it: its name and contents, a
# dependency on the package of every library the program loads, apt
# willing to install it, and the package installed into a root of its
# own (a temporary folder, never the system's), run on the bundled
# sample, and removed without a trace.
# usage: tests/package_check.sh DEB   (from the project's top folder)
set -euo pipefail
deb=$(realpath "$1")
fail() { echo "package check: $*" >&2; exit 1; }

version=$(sed -n 's/^project(stampo VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
arch=$(dpkg --print-architecture)
[ "$(basename "$deb")" = "stampo_${version}_${arch}.deb" ] ||
  fail "$(basename "$deb") is not stampo_${version}_${arch}.deb"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] ||
  fail "the package's version is not $version (debian/changelog)"

# What it holds: the program, its manual page, its copyright and changelog.
contents=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $NF }' | sort | tr '\n' ' ')
[ "$contents" = "./usr/bin/stampo ./usr/share/doc/stampo/changelog.gz \
./usr/share/doc/stampo/copyright ./usr/share/man/man1/stampo.1.gz " ] ||
  fail "the package holds: $contents"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
dpkg-deb -x "$deb" "$work/contents"

# Every library the program loads comes from a package it depends on.
depends=$(dpkg-deb -f "$deb" Depends)
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
packages=$(sed 's/ *([^)]*)//g; s/, */\n/g' <<<"$depends")
for lib in $(objdump -p "$work/contents/usr/bin/stampo" | awk '$1 == "NEEDED" { print $2 }'); do
  # The library of this architecture, wherever /lib and /usr/lib meet.
  owner=$(dpkg -S "*/$multiarch/$lib" 2>/dev/null | head -1 | cut -d: -f1)
  [ -n "$owner" ] || fail "no installed package holds $lib"
  grep -qxF "$owner" <<<"$packages" ||
    fail "the program loads $lib from $owner, which the package does not depend on ($depends)"
done
# apt takes it with those dependencies (a simulation: nothing installed).
apt-get -s -q install "$deb" 2>/dev/null | grep -q "^Inst stampo " ||
  fail "apt-get would not install $deb"

# The manual page renders without a warning.
warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z \
  "$work/contents/usr/share/man/man1/stampo.1.gz" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "the manual page: $warnings"

# Installed into a root of its own, with an empty package database.
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
# (The libraries are not in that root: their absence is said, and ignored.)
dpkg_here() {
  local said
  said=$(dpkg --root="$root" --force-not-root --force-depends --log=/dev/null "$@" 2>&1) ||
    fail "dpkg $*: $said"
}
dpkg_here -i "$deb"
[ "$(dpkg --root="$root" -s stampo | sed -n 's/^Status: //p')" = "install ok installed" ] ||
  fail "dpkg did not install it"
# It stamps a copy of the sample, and its help names the copyright file.
mkdir "$work/scan"
cp sample/disc.html sample/disc.bmp "$work/scan/"
(cd "$work/scan" && "$root/usr/bin/stampo" disc.html >out.txt) || fail "the installed stampo failed"
head -1 "$work/scan/out.txt" | grep -qx "bmp data : disc.bmp" || fail "it printed: $(cat "$work/scan/out.txt")"
cmp -s sample/disc.bmp "$work/scan/disc.bmp.bak" || fail "the backup is not the sample's picture"
[ "$(stat -c %s "$work/scan/disc.bmp")" = 477414 ] || fail "the picture was not stamped"
"$root/usr/bin/stampo" --help | grep -q "see /usr/share/doc/stampo/copyright\." ||
  fail "the help does not name /usr/share/doc/stampo/copyright"
# And removed, leaving no file of its own.
dpkg_here --purge stampo
left=$(find "$root" -not -type d -not -path "$root/var/lib/dpkg/*")
[ -z "$left" ] || fail "removing it left: $left"
echo "package check: $(basename "$deb") installs, stamps the sample and removes cleanly"
