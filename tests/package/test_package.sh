#!/usr/bin/env bash
# Builds the Debian package from a built tree and checks it: contents, the
# menu entry, the manual pages, lintian; then tries the installed layout in
# a temporary root: orvan-otx checks an installed template and the program
# starts from there and finds its templates.
#   tests/package/test_package.sh BUILD_DIR
# BUILD_DIR is configured with scripts/release-flags (build/ by scripts/test,
# build-package/ by scripts/package): lintian's hardening tags check them.
set -euo pipefail
build=$(cd "${1:?usage: test_package.sh BUILD_DIR}" && pwd)
work=$(mktemp -d /tmp/orvan-package-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
ok() { echo "ok: $*"; }

for tool in dpkg-deb desktop-file-validate lintian man; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (scripts/install-deps)" >&2; exit 1; }
done

echo "== cpack"
cmake --build "$build" --target orvan orvan-otx osh2xx kasasim orvan_manpages >/dev/null
(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log" >&2; exit 1; }
deb=$(ls "$work"/out/*.deb)
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"

echo "== contents"
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' >"$work/files"
expected=(
  /usr/bin/orvan /usr/bin/orvan-otx /usr/bin/osh2xx /usr/bin/kasasim
  /usr/share/applications/orvan277psplus.desktop
  /usr/share/icons/hicolor/scalable/apps/orvan277psplus.svg
  /usr/share/man/man1/orvan.1.gz /usr/share/man/man1/orvan-otx.1.gz
  /usr/share/man/man1/osh2xx.1.gz /usr/share/man/man1/kasasim.1.gz
  /usr/share/doc/orvan277psplus/copyright /usr/share/doc/orvan277psplus/changelog.gz
)
for t in "$build"/bin/*.OTX; do expected+=("/usr/share/orvan277psplus/$(basename "$t")"); done
for f in "${expected[@]}"; do
  grep -qxF "$f" "$work/files" || fail "missing in the package: $f"
done
ok "${#expected[@]} files in place"
depends=$(dpkg-deb -f "$deb" Depends)
for d in libqt6widgets6 libqt6serialport6 libhpdf libfontconfig1 qt6-qpa-plugins qt6-translations-l10n fonts-liberation; do
  [[ "$depends" == *"$d"* ]] || fail "Depends lacks $d: $depends"
done
# Qt Charts' free edition is GPL-3.0 only: the package must not need it.
[[ "$depends" != *charts* ]] || fail "Depends names Qt Charts: $depends"
ok "Depends: $depends"

root="$work/root"
dpkg-deb -x "$deb" "$root"

echo "== licences"
# Every package the programs depend on is named with its licence, and the
# copyright file holds the whole list the installers show.
copyright="$root/usr/share/doc/orvan277psplus/copyright"
for d in $(echo "$depends" | tr ',|' '\n\n' | sed 's/(.*//; s/^ *//; s/ *$//'); do
  grep -qw -- "$d" "$copyright" || fail "the copyright file does not name $d"
done
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
while IFS= read -r l; do
  [ -z "$l" ] || grep -qxF -- " $l" "$copyright" || fail "the copyright file lacks: $l"
done <"$source_dir/packaging/third-party-licences.txt"
ok "copyright: $(grep -c 'Licence:' "$copyright") libraries with their licences"

echo "== menu entry"
desktop-file-validate "$root/usr/share/applications/orvan277psplus.desktop" || fail "desktop-file-validate"
grep -q '^Exec=orvan$' "$root/usr/share/applications/orvan277psplus.desktop" || fail "Exec is not orvan"
ok "desktop entry"

echo "== manual pages"
for p in orvan orvan-otx osh2xx kasasim; do
  page="$root/usr/share/man/man1/$p.1.gz"
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=100 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null) || true
  [ -z "$warnings" ] || fail "$p(1): $warnings"
  LC_ALL=C.UTF-8 MANWIDTH=200 man -E UTF-8 -l "$page" 2>/dev/null | col -b >"$work/$p.txt"
  grep -q "$p" "$work/$p.txt" || fail "$p(1) does not render"
done
# Every command and option of orvan-otx's help appears in its manual page.
words=$("$root/usr/bin/orvan-otx" --help | grep -oE -- '(^  orvan-otx [a-z-]+|--[a-z][a-z-]*)' | sed 's/^  orvan-otx //' | sort -u)
[ -n "$words" ] || fail "orvan-otx --help lists nothing"
for w in $words; do
  grep -qF -- "$w" "$work/orvan-otx.txt" || fail "orvan-otx(1) lacks $w"
done
ok "manual pages ($(echo "$words" | wc -l) commands and options of orvan-otx)"

echo "== lintian"
lintian --tag-display-limit 0 --display-info "$deb" >"$work/lintian.txt" 2>&1 || true
cat "$work/lintian.txt"
if grep -q '^E: ' "$work/lintian.txt"; then fail "lintian reports errors"; else ok "lintian: no error"; fi
if grep -qE '^[EWIPX]: [^ ]+: hardening-' "$work/lintian.txt"; then
  fail "lintian: a program built without Debian's hardening flags (scripts/package)"
else
  ok "lintian: no hardening tag"
fi

echo "== installed layout"
far="$work/elsewhere"
mkdir -p "$far/config/NOXA S.C./Orvan 277PS Plus" "$far/home"
printf '[General]\nKasa=5\nKaucje=1\n' >"$far/config/NOXA S.C./Orvan 277PS Plus/1.0.ini"
for p in orvan orvan-otx osh2xx kasasim; do
  v=$("$root/usr/bin/$p" --version)
  [[ "$v" == "$p (Orvan277PS Plus) "[0-9]* ]] || fail "$p --version: $v"
done
ok "--version of the four programs"
(cd "$far" && "$root/usr/bin/orvan-otx" check "$root/usr/share/orvan277psplus/O277PSK.OTX") || fail "orvan-otx check on the installed template"
out=$(cd "$far" && HOME="$far/home" XDG_CONFIG_HOME="$far/config" QT_QPA_PLATFORM=offscreen \
      "$root/usr/bin/orvan" --check-start 2>&1) || fail "orvan --check-start: $out"
echo "$out"
[[ "$out" == *"Wzorzec: $root/usr/share/orvan277psplus/O277PSK.OTX"* ]] || fail "orvan did not take the installed template"
[[ "$out" != *"błąd"* ]] || fail "orvan reported an error at start"

if [ $failures -ne 0 ]; then
  echo "PACKAGE TEST FAILED ($failures)" >&2
  exit 1
fi
echo "PACKAGE TEST PASSED"
