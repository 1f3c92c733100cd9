#!/usr/bin/env bash
# Sets up the machine, builds the pop-up, creates a demo store in ./demo and launches the pop-up on it.
# Without a display (a bare server), the pop-up runs under a private headless X server and a screenshot of
# its window is written to demo/screenshot.png.
# With --server, the store is on a throw-away local PostgreSQL server instead of SQLite files, as in an office
# whose operators share one agenda; the server is stopped and removed when the demo ends.
#
#   scripts/demo.sh [--server]
set -euo pipefail
cd "$(dirname "$0")/.."
on_server=0
case "${1:-}" in
"") ;;
--server) on_server=1 ;;
*)
    echo "usage: $0 [--server]" >&2
    exit 2
    ;;
esac
bash scripts/setup.sh
bash scripts/build.sh release
popup="$PWD/build/release/src/reminder-popup"

work=$(mktemp -d)
popup_pid=""
pg_dir=""
source scripts/private-xserver.sh
source scripts/private-pg-server.sh
cleanup() {
    [ -n "$popup_pid" ] && { kill "$popup_pid" 2>/dev/null; wait "$popup_pid" 2>/dev/null; } || true
    stop_private_xserver
    [ -n "$pg_dir" ] && stop_private_pg_server "$pg_dir"
    rm -rf "$work"
}
trap cleanup EXIT

rm -rf demo
store_options=()
if [ "$on_server" -eq 1 ]; then
    pg_dir=$(mktemp -d /tmp/rp-demo-pg.XXXXXX)
    start_private_pg_server "$pg_dir"
    psql -q -X -c "CREATE DATABASE agenda"
    store_options=(--server "host=$PGHOST port=$PGPORT dbname=agenda")
    echo "demo server: $PGHOST, port $PGPORT, database agenda"
fi
launch_line=$(bash scripts/make-demo-store.sh "${store_options[@]}" "$PWD/demo" | tail -n 1)
command_text=$(printf '%s' "$launch_line" | sed -E 's/^[^"]*"(.*)"$/\1/')
echo "demo store: $PWD/demo"
echo "launching: $popup \"$command_text\""

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    "$popup" "$command_text"
    exit
fi

echo "no display: running under a private headless X server; the window closes after a screenshot"
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
