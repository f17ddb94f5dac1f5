#!/usr/bin/env bash
# Builds the Debian package from the build tree and checks what it holds and what it
# declares it needs.
#   package_test.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"

build=$(cd "$1" && pwd)
appId=app.pagewick.Pagewick
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp" >"$tmp/cpack.log" 2>&1 ||
  fail "cpack failed: $(cat "$tmp/cpack.log")"
debs=("$tmp"/pagewick_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one pagewick_*.deb, found: ${debs[*]}"
deb=${debs[0]}

# The control fields.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = pagewick ] || fail "Package is '$(field Package)'"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ -n "$(field Section)" ] || fail "no Section"
[ -n "$(field Description)" ] || fail "no Description"
# Each name must appear as a whole package name in the list, with or without a version.
depends=",$(field Depends | tr -d ' '),"
for package in libwebkit2gtk-4.1-0 libgtk-3-0 libtesseract5 libpoppler-glib8 tesseract-ocr-eng tesseract-ocr-fra; do
  [[ "$depends" =~ ,$package(\(|,) ]] || fail "Depends lacks $package: $(field Depends)"
done

# The files.
dpkg-deb -c "$deb" | awk '{ print $NF }' | sed 's|^\./|/|' > "$tmp/files"
for file in /usr/bin/pagewick /usr/lib/pagewick/web-process/pagewick-web-process.so \
            /usr/share/pagewick/web/index.html \
            /usr/share/applications/$appId.desktop /usr/share/metainfo/$appId.metainfo.xml \
            /usr/share/icons/hicolor/scalable/apps/$appId.svg; do
  grep -qxF "$file" "$tmp/files" || fail "the package lacks $file"
done
for size in 16 32 48 64 128 256; do
  grep -qxF "/usr/share/icons/hicolor/${size}x${size}/apps/$appId.png" "$tmp/files" ||
    fail "the package lacks the ${size}x${size} icon"
done
# Every file of the built page is shipped.
(cd "$build/web" && find . -type f | sed "s|^\./|/usr/share/pagewick/web/|") | sort > "$tmp/page"
missing=$(sort "$tmp/files" | comm -23 "$tmp/page" -)
[ -z "$missing" ] || fail "the package lacks files of the page: $missing"
# Nothing else: no headers, libraries, tests or build leftovers.
strays=$(grep -v -e '/$' -e '^/usr/bin/pagewick$' -e '^/usr/lib/pagewick/web-process/pagewick-web-process\.so$' \
  -e '^/usr/share/' "$tmp/files" || true)
[ -z "$strays" ] || fail "unexpected files in the package: $strays"
echo "package $(basename "$deb"): ok"
