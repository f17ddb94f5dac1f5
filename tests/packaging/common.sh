# Helpers shared by the packaging tests; sourced, not run.

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# A display is needed to start the application: borrow a virtual one when there is none.
needDisplay() {
  if [ -z "${DISPLAY:-}" ] && [ -z "${PAGEWICK_UNDER_XVFB:-}" ]; then
    PAGEWICK_UNDER_XVFB=1 exec xvfb-run -a -s '-screen 0 1280x1024x24' "$0" "$@"
  fi
}

# Width and height of a PNG, from its IHDR chunk.
pngSize() {
  od -An -tu1 -j16 -N8 "$1" |
    awk '{ printf "%dx%d\n", $1*16777216 + $2*65536 + $3*256 + $4, $5*16777216 + $6*65536 + $7*256 + $8 }'
}

# A session bus that can activate nothing, so that no portal (nor anything else) can
# answer. Sets busAddress and busPid.
startBareBus() {
  local dir="$1"
  cat > "$dir/bus.conf" <<CONF
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=$dir</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
  dbus-daemon --config-file="$dir/bus.conf" --fork --print-address=3 --print-pid=4 \
    3>"$dir/bus.address" 4>"$dir/bus.pid" || fail "could not start a session bus"
  busAddress=$(head -n1 "$dir/bus.address")
  busPid=$(head -n1 "$dir/bus.pid")
}

# Processes running the given executable, found by their /proc/PID/exe link.
pidsOf() {
  local exe="$1" link pid
  for link in /proc/[0-9]*/exe; do
    [ "$(readlink "$link" 2>/dev/null)" = "$exe" ] || continue
    pid=${link#/proc/}
    echo "${pid%/exe}"
  done
}

# Polls until the file exists and is not empty; fails after the given seconds.
waitForFile() {
  local file="$1" seconds="$2" tries
  for ((tries = seconds * 5; tries > 0; tries--)); do
    [ -s "$file" ] && return 0
    sleep 0.2
  done
  return 1
}
