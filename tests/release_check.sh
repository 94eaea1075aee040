#!/usr/bin/env bash
# Checks the Windows release zip as its users get it: Stampo.exe with its
# icon, README-Windows.txt and LICENSE.txt with Windows line ends, and
# nothing meant for developers.
# usage: tests/release_check.sh ZIP EXE
set -euo pipefail
zip=$1 exe=$2
fail() { echo "release check: $*" >&2; exit 1; }
names=$(unzip -Z1 "$zip" | sort | tr '\n' ' ')
[ "$names" = "LICENSE.txt README-Windows.txt Stampo.exe " ] || fail "the zip holds: $names"
for text in README-Windows.txt LICENSE.txt; do
  # Every line feed comes right after a carriage return.
  lines=$(unzip -p "$zip" "$text" | wc -l)
  crlf=$(unzip -p "$zip" "$text" | grep -c $'\r$' || true)
  [ "$lines" -gt 0 ] && [ "$lines" = "$crlf" ] || fail "$text: $crlf of $lines lines end in CRLF"
done
unzip -p "$zip" LICENSE.txt | grep -q "the Stampo authors" || fail "LICENSE.txt names no copyright"
# The resource directory's top level: 0x0e is RT_GROUP_ICON, 0x10 RT_VERSION.
resources=$(i686-w64-mingw32-objdump -p "$exe" | sed -n '/The .rsrc Resource Directory/,$p')
grep -qE '^[0-9a-f]{3}   Entry: ID: 0x00000e,' <<<"$resources" || fail "Stampo.exe has no icon"
grep -a -q "L.e.g.a.l.C.o.p.y.r.i.g.h.t" "$exe" || fail "Stampo.exe has no LegalCopyright"
echo "release check: $zip is ready for Windows users"
