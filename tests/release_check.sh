#!/usr/bin/env bash
# Checks the Windows release zip as its users get it: Stampo.exe with its
# icon (a 256-pixel PNG image among its sizes), the readme in English and
# in Japanese (UTF-8 with its byte-order mark) and LICENSE.txt with
# Windows line ends, and nothing meant for developers.
# usage: tests/release_check.sh ZIP EXE
set -euo pipefail
zip=$1 exe=$2
fail() { echo "release check: $*" >&2; exit 1; }
names=$(unzip -Z1 "$zip" | sort | tr '\n' ' ')
[ "$names" = "LICENSE.txt README-Windows-ja.txt README-Windows.txt Stampo.exe " ] ||
  fail "the zip holds: $names"
for text in README-Windows.txt README-Windows-ja.txt LICENSE.txt; do
  # Every line feed comes right after a carriage return.
  lines=$(unzip -p "$zip" "$text" | wc -l)
  crlf=$(unzip -p "$zip" "$text" | grep -c $'\r$' || true)
  [ "$lines" -gt 0 ] && [ "$lines" = "$crlf" ] || fail "$text: $crlf of $lines lines end in CRLF"
done
unzip -p "$zip" LICENSE.txt | grep -q "the Stampo authors" || fail "LICENSE.txt names no copyright"
[ "$(unzip -p "$zip" README-Windows-ja.txt | head -c 3 | od -An -tx1 | tr -d ' ')" = efbbbf ] ||
  fail "README-Windows-ja.txt has no UTF-8 byte-order mark"
unzip -p "$zip" README-Windows-ja.txt | iconv -f UTF-8 -t UTF-8 >/dev/null ||
  fail "README-Windows-ja.txt is not UTF-8"
for text in README-Windows.txt README-Windows-ja.txt; do
  unzip -p "$zip" "$text" | grep -q -- "--png" || fail "$text says nothing of --png"
  unzip -p "$zip" "$text" | grep -q "SmartScreen" || fail "$text says nothing of SmartScreen"
done
# The icon file's directory: an entry of width and height 0 (256) whose
# image starts with the PNG signature.
ico=icon/stampo.ico
big=no
for i in $(seq 0 $(($(od -An -tu2 -j4 -N2 "$ico") - 1))); do
  width=$(od -An -tu1 -j$((6 + 16 * i)) -N1 "$ico" | tr -d ' ')
  at=$(od -An -tu4 -j$((6 + 16 * i + 12)) -N4 "$ico" | tr -d ' ')
  [ "$width" = 0 ] && [ "$(od -An -tx1 -j"$at" -N4 "$ico" | tr -d ' ')" = 89504e47 ] && big=yes
done
[ "$big" = yes ] || fail "the icon has no 256-pixel PNG image"
# The resource directory's top level: 0x0e is RT_GROUP_ICON, 0x10 RT_VERSION.
resources=$(i686-w64-mingw32-objdump -p "$exe" | sed -n '/The .rsrc Resource Directory/,$p')
grep -qE '^[0-9a-f]{3}   Entry: ID: 0x00000e,' <<<"$resources" || fail "Stampo.exe has no icon"
grep -a -q "L.e.g.a.l.C.o.p.y.r.i.g.h.t" "$exe" || fail "Stampo.exe has no LegalCopyright"
echo "release check: $zip is ready for Windows users"
