#!/usr/bin/env bash
# On Wayland a window learns no position: a frame saved by an earlier run must still
# give the window its size, and the position saved before must not be lost. Runs the
# built application on a headless Weston compositor of its own.
#   wayland_frame_test.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"

build=$(cd "$1" && pwd)
tmp=$(mktemp -d)
westonPid=
busPid=
appPid=
cleanup() {
  [ -n "$appPid" ] && kill "$appPid" 2>/dev/null || true
  [ -n "$westonPid" ] && kill "$westonPid" 2>/dev/null || true
  [ -n "$busPid" ] && kill "$busPid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT

mkdir -p -m 700 "$tmp/runtime"
mkdir -p "$tmp/bin/web" "$tmp/config/pagewick" "$tmp/reports"
cp "$build/pagewick" "$tmp/bin/pagewick"
cat > "$tmp/bin/web/index.html" <<HTML
<!doctype html><meta charset="utf-8"><script>
const report = (name, text) => window.webkit.messageHandlers.pagewick.postMessage(
  {type: 'savepath', id: name, path: '$tmp/reports/' + name, b64: btoa(text)});
window.addEventListener('load', () => report('size', innerWidth + ' ' + innerHeight));
</script>
HTML
# Saved by an X11 session on a monitor this one does not have.
echo '{"PagewickMain":{"x":5000,"y":4000,"width":900,"height":700}}' > "$tmp/config/pagewick/preferences.json"

XDG_RUNTIME_DIR="$tmp/runtime" weston --backend=headless-backend.so --socket=wayland-pw --width=1600 \
  --height=1000 --idle-time=0 --no-config >"$tmp/weston.log" 2>&1 &
westonPid=$!
for ((tries = 50; tries > 0; tries--)); do
  [ -S "$tmp/runtime/wayland-pw" ] && break
  sleep 0.2
done
[ -S "$tmp/runtime/wayland-pw" ] || fail "weston did not start: $(cat "$tmp/weston.log")"

startBareBus "$tmp"
env -u DISPLAY XDG_RUNTIME_DIR="$tmp/runtime" WAYLAND_DISPLAY=wayland-pw GDK_BACKEND=wayland \
    DBUS_SESSION_BUS_ADDRESS="$busAddress" XDG_CONFIG_HOME="$tmp/config" NO_AT_BRIDGE=1 GSETTINGS_BACKEND=memory \
    "$tmp/bin/pagewick" >"$tmp/app.log" 2>&1 &
appPid=$!

waitForFile "$tmp/reports/size" 60 || fail "the page did not load under Wayland: $(tail -20 "$tmp/app.log")"
read -r width height < "$tmp/reports/size" || true  # no final newline
# The menu bar takes its share of the height.
[ "$width" -eq 900 ] && [ "$height" -gt 600 ] && [ "$height" -le 700 ] ||
  fail "the page is ${width}x${height}, not within the saved 900x700"

# Frames are reported after the window settles; the one kept must be the same size with
# the last known position.
sleep 1
kill "$appPid"
wait "$appPid" 2>/dev/null || true
appPid=
frame=$(tr -d ' \n' < "$tmp/config/pagewick/preferences.json" | grep -o '"PagewickMain":{[^}]*}')
for expected in '"width":900' '"height":700' '"x":5000' '"y":4000'; do
  [[ "$frame" == *"$expected"* ]] || fail "saved frame lost $expected: $frame"
done
echo "frame under Wayland: size restored, position kept: ok"
