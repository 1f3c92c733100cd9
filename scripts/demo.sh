#!/usr/bin/env bash
# Sets up the machine, builds the pop-up, creates a demo store in ./demo and launches the pop-up on it.
# Without a display (a bare server), the pop-up runs under a private headless X server and a screenshot of
# its window is written to demo/screenshot.png.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh release
popup="$PWD/build/release/src/reminder-popup"

rm -rf demo
launch_line=$(bash scripts/make-demo-store.sh "$PWD/demo" | tail -n 1)
command_text=$(printf '%s' "$launch_line" | sed -E 's/^[^"]*"(.*)"$/\1/')
echo "demo store: $PWD/demo"
echo "launching: $popup \"$command_text\""

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec "$popup" "$command_text"
fi

echo "no display: running under a private headless X server; the window closes after a screenshot"
work=$(mktemp -d)
popup_pid=""
source scripts/private-xserver.sh
cleanup() {
    [ -n "$popup_pid" ] && { kill "$popup_pid" 2>/dev/null; wait "$popup_pid" 2>/dev/null; } || true
    stop_private_xserver
    rm -rf "$work"
}
trap cleanup EXIT
start_private_xserver "$work"

"$popup" "$command_text" &
popup_pid=$!
id=""
for _ in $(seq 1 100); do
    id=$(xdotool search --onlyvisible --name '^APP\. ' 2>/dev/null | head -n 1 || true)
    [ -n "$id" ] && break
    sleep 0.1
done
[ -n "$id" ] || { echo "the window did not appear" >&2; exit 1; }
sleep 0.5
echo "window title: $(xdotool getwindowname "$id")"
build/release/tests/x11_window_png "$id" "$PWD/demo/screenshot.png" && echo "screenshot: $PWD/demo/screenshot.png"
xdotool windowfocus --sync "$id" key alt+p
status=0
wait "$popup_pid" || status=$?
popup_pid=""
echo "postponed by 15 minutes with Alt+P; exit status $status"
