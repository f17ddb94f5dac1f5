#!/usr/bin/env bash
# Installs the build tree into a temporary prefix, checks the layout, then starts the
# installed application the way a menu does (its desktop entry, with a PDF) on a
# session bus where no portal can answer, and checks that its page loads and
# receives the file.
#   install_test.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"
needDisplay "$@"

build=$(cd "$1" && pwd)
appId=app.pagewick.Pagewick
tmp=$(mktemp -d)
busPid=
cleanup() {
  for pid in $(pidsOf "$tmp/usr/bin/pagewick"); do kill "$pid" 2>/dev/null || true; done
  [ -n "$busPid" ] && kill "$busPid" 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT

cmake --install "$build" --prefix "$tmp/usr" >/dev/null || fail "cmake --install failed"
prefix="$tmp/usr"

# The layout.
[ -x "$prefix/bin/pagewick" ] || fail "no executable bin/pagewick"
extension=lib/pagewick/web-process/pagewick-web-process.so
[ -f "$prefix/$extension" ] || fail "no web process extension $extension"
[ -f "$prefix/share/applications/$appId.desktop" ] || fail "no desktop entry"
[ -f "$prefix/share/metainfo/$appId.metainfo.xml" ] || fail "no metainfo"
[ -f "$prefix/share/icons/hicolor/scalable/apps/$appId.svg" ] || fail "no scalable icon"
for size in 16 32 48 64 128 256; do
  png="$prefix/share/icons/hicolor/${size}x${size}/apps/$appId.png"
  [ -f "$png" ] || fail "no ${size}x${size} icon"
  [ "$(pngSize "$png")" = "${size}x${size}" ] || fail "the ${size}x${size} icon is $(pngSize "$png")"
done
strays=$(cd "$prefix" && find . -type f | grep -v -e '^\./bin/pagewick$' -e "^\./$extension\$" -e '^\./share/' || true)
[ -z "$strays" ] || fail "files outside bin/, share/ and the extension: $strays"
# The installed page is the built one, whatever the build added to it.
diff -r "$build/web" "$prefix/share/pagewick/web" >/dev/null || fail "share/pagewick/web differs from the built page"

# "Open with" offers the entry for PDF documents once the desktop database is updated,
# which the package's installation triggers.
update-desktop-database "$prefix/share/applications"
handlers=$(PATH="$prefix/bin:$PATH" XDG_DATA_DIRS="$prefix/share:/usr/share" XDG_DATA_HOME="$tmp/data" \
  gio mime application/pdf)
grep -q "^\s*$appId.desktop$" <<<"$handlers" || fail "the desktop entry is not registered for application/pdf: $handlers"

# Start it. The page is replaced by one that reports, through the shell, what it saw;
# the executable must find it under share/ from bin/.
report="$tmp/reports"
mkdir -p "$report" "$tmp/config" "$tmp/docs"
cat > "$prefix/share/pagewick/web/index.html" <<HTML
<!doctype html><meta charset="utf-8"><script>
const report = (name, text) => window.webkit.messageHandlers.pagewick.postMessage(
  {type: 'savepath', id: name, path: '$report/' + name, b64: btoa(text)});
window.__nativeOpen = (name) => report('opened', name);
window.addEventListener('load', () => report('loaded', location.href + ' ' + window.__nativeFiles));
</script>
HTML
printf '%%PDF-1.4\n%%%%EOF\n' > "$tmp/docs/menu launch.pdf"

startBareBus "$tmp"
env DBUS_SESSION_BUS_ADDRESS="$busAddress" XDG_CONFIG_HOME="$tmp/config" XDG_DATA_HOME="$tmp/data" \
    XDG_DATA_DIRS="$prefix/share:/usr/share" PATH="$prefix/bin:$PATH" NO_AT_BRIDGE=1 GSETTINGS_BACKEND=memory \
    gio launch "$prefix/share/applications/$appId.desktop" "$tmp/docs/menu launch.pdf" 2>"$tmp/launch.log" ||
  fail "gio launch failed: $(cat "$tmp/launch.log")"

# Generous: a first start of the web process can be slow on a loaded machine. A stall
# waiting on a portal would exceed it.
waitForFile "$report/loaded" 60 || fail "the installed application did not load its page: $(cat "$tmp/launch.log")"
[ "$(cat "$report/loaded")" = "pagewick://app/index.html true" ] || fail "unexpected page: $(cat "$report/loaded")"
waitForFile "$report/opened" 30 || fail "the file named by the launcher did not reach the page"
[ "$(cat "$report/opened")" = "menu launch.pdf" ] || fail "unexpected file: $(cat "$report/opened")"
echo "installed layout, desktop entry launch and page load: ok"
