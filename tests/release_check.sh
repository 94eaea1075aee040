#!/usr/bin/env bash
# Checks the Windows release as its users get it.
#
#   tests/release_check.sh ZIP EXE      the zip, and EXE as built (make dist, CI)
#   tests/release_check.sh --imports EXE   only what EXE needs to start
#
# Stampo.exe must start on a Windows that has only Windows's own DLLs: it
# may import the DLLs below and no other. Wine brings many more (its
# user32 needs a zlib1.dll of its own), so a program that runs under Wine
# proves nothing here: the check reads the import table itself.
#
# The zip holds Stampo.exe with its icon (the sizes Explorer asks for,
# 256 pixels as a PNG image), the readme in English and in Japanese
# (UTF-8 with its byte-order mark) and LICENSE.txt with Windows line ends,
# and nothing meant for developers.
set -euo pipefail
fail() { echo "release check: $*" >&2; exit 1; }

# The DLLs that every Windows Stampo supports (Windows 7 on) installs.
kWindowsDlls="ADVAPI32.dll KERNEL32.dll msvcrt.dll SHLWAPI.dll USER32.dll"

# Each DLL that EXE imports (objdump reads its import table) must be one
# of Windows's own; names are compared as Windows does, case ignored.
checkimports() {
  local exe=$1 dll found
  [ -f "$exe" ] || fail "$exe is missing"
  found=$(i686-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')
  [ -n "$found" ] || fail "$exe: no import table found"
  for dll in $found; do
    grep -qiw -- "$dll" <<<"$kWindowsDlls" ||
      fail "$(basename "$exe") imports $dll, which Windows does not install (link it statically)"
  done
}

if [ "${1:-}" = --imports ]; then
  checkimports "$2"
  echo "release check: $(basename "$2") imports only Windows's own DLLs"
  exit 0
fi

zip=$1 built=$2
names=$(unzip -Z1 "$zip" | sort | tr '\n' ' ')
[ "$names" = "LICENSE.txt README-Windows-ja.txt README-Windows.txt Stampo.exe " ] ||
  fail "the zip holds: $names"
# The program as the zip has it (stripped), and as it was built.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
exe=$work/Stampo.exe
unzip -p "$zip" Stampo.exe >"$exe"
checkimports "$exe"
checkimports "$built"
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
  for word in --png --restore Restore SmartScreen DLL; do
    unzip -p "$zip" "$text" | grep -q -- "$word" || fail "$text says nothing of $word"
  done
done
# The icon file's directory: every size Explorer asks for at 100 % to
# 200 % scaling, and 256 pixels (width 0) as an image that starts with
# the PNG signature.
ico=icon/stampo.ico
sizes= big=no
for i in $(seq 0 $(($(od -An -tu2 -j4 -N2 "$ico") - 1))); do
  width=$(od -An -tu1 -j$((6 + 16 * i)) -N1 "$ico" | tr -d ' ')
  at=$(od -An -tu4 -j$((6 + 16 * i + 12)) -N4 "$ico" | tr -d ' ')
  [ "$width" = 0 ] && [ "$(od -An -tx1 -j"$at" -N4 "$ico" | tr -d ' ')" = 89504e47 ] && big=yes
  sizes="$sizes $width"
done
[ "$big" = yes ] || fail "the icon has no 256-pixel PNG image"
[ "$sizes" = " 16 20 24 32 40 48 64 96 0" ] || fail "the icon's sizes are$sizes"
# The resource directory's top level: 0x0e is RT_GROUP_ICON, 0x10 RT_VERSION.
resources=$(i686-w64-mingw32-objdump -p "$exe" | sed -n '/The .rsrc Resource Directory/,$p')
grep -qE '^[0-9a-f]{3}   Entry: ID: 0x00000e,' <<<"$resources" || fail "Stampo.exe has no icon"
grep -a -q "L.e.g.a.l.C.o.p.y.r.i.g.h.t" "$exe" || fail "Stampo.exe has no LegalCopyright"
echo "release check: $zip is ready for Windows users"
