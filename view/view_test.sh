#!/usr/bin/env bash
# The viewer in a virtual X server, driven as a player would with xdotool: a click taps, P
# pauses, the window shows exactly the frame the program sent (scaled, or turned as the panel
# shows it), closing the window or holding Escape ends the session with status 0, a child
# that refuses, dies or stalls never hangs the viewer, and with no display there is no window.
#   usage: view_test.sh BUILD_DIR
set -euo pipefail
if [ "${VIEW_TEST_DISPLAY:-}" != started ]; then
  command -v xvfb-run >/dev/null || { echo "view test skipped: xvfb-run is not installed"; exit 0; }
  xvfb-run -a true 2>/dev/null || { echo "view test skipped: no virtual X server can be started here"; exit 0; }
  VIEW_TEST_DISPLAY=started exec xvfb-run -a -s "-screen 0 1400x900x24 -nolisten tcp" "$0" "$@"
fi
build=$(cd "$1" && pwd)
work=$(mktemp -d)
viewer=
trap '[ -z "$viewer" ] || kill $viewer 2>/dev/null; rm -rf "$work"' EXIT

fail() { echo "FAIL: $*"; cat "$work/log"; exit 1; }
# Starts the viewer, its standard error into $work/log, and waits for its window.
start() {
  "$build/korvel-skimbo-view" "$@" 2>"$work/log" & viewer=$!
  window=$(timeout 10 xdotool search --sync --pid $viewer --name korvel-skimbo | head -n 1) || fail "no window"
}
expect_log() { timeout 10 bash -c "until grep -q -- '$1' '$work/log'; do sleep 0.1; done" || fail "no '$1' in the log"; }
expect_exit() {
  local status=0
  timeout 10 tail --pid=$viewer -f /dev/null || fail "the viewer did not end"
  wait $viewer || status=$?
  viewer=
  [ $status = $1 ] || fail "the viewer ended with status $status, not $1"
}
# The window against the program's last capture of a phase, scaled or turned by convert's options.
expect_picture() {
  local capture
  capture=$(ls "$work/captures/"*-$1.ppm | tail -n 1)  # one per session: each pauses once
  sleep 0.3
  import -window "$window" "$work/shot.png"
  convert "$capture" $2 "$work/expected.png"
  pixels=$(compare -metric AE "$work/shot.png" "$work/expected.png" null: 2>&1) ||
    fail "$pixels pixels of the window differ from $capture"
}

mkdir "$work/captures"
start -- --seed 7 --capture-dir "$work/captures"
expect_log "first frame presented"
xdotool mousemove --window $window 640 172 click 1
expect_log "input tap phase=running"
xdotool windowfocus --sync $window key p
expect_log "state=paused"
expect_picture paused "-scale 200%"
[ "$(xdotool getwindowname $window)" = "korvel-skimbo: paused, score 0" ] || fail "title $(xdotool getwindowname $window)"
"$build/view/view_test_close" $window
expect_exit 0
expect_log "exit code=0 reason=exit-gesture"

# Turned as the panel: the pause corner, top right on the canvas, lies bottom right.
rm -f "$work/captures/"*
start --portrait --scale 1 -- --seed 7 --capture-dir "$work/captures"
expect_log "first frame presented"
xdotool mousemove --window $window 151 620 click 1
expect_log "state=paused"
expect_picture paused "-rotate 90"
xdotool windowfocus --sync $window keydown Escape sleep 1.5 keyup Escape
expect_exit 0
expect_log "exit code=0 reason=exit-gesture"

printf '#!/bin/sh\nexec sleep 60\n' > "$work/stalled" && chmod +x "$work/stalled"
start --program "$work/stalled"
"$build/view/view_test_close" $window
expect_exit 143

# With no display to reach, no window: SDL would otherwise play off screen, unless asked to.
unset WAYLAND_DISPLAY  # the only display is the virtual X server's
while read -r expected environment options; do
  status=0
  [ "$environment" != - ] || environment=
  timeout 20 env $environment "$build/korvel-skimbo-view" $options 2>"$work/log" || status=$?
  [ $status = $expected ] || fail "'$environment $options': the viewer ended with status $status, not $expected"
  [ $status != 1 ] || expect_log "korvel-skimbo-view: no window: no display can be reached"
done <<'ROWS'
127 - --program /nonexistent/korvel-skimbo
12 - -- --exit-after 1500
1 --unset=DISPLAY -- --exit-after 1500
1 DISPLAY=:4093 -- --exit-after 1500
12 SDL_VIDEODRIVER=offscreen -- --exit-after 1500
21 - -- --bogus
ROWS
expect_log "korvel-skimbo-view: the program ended with status 21: .*failure: unknown option: --bogus"
echo "view test passed"
