#!/usr/bin/env bash
# Takes the README's screenshots of the real window under a private headless X server: one reminder that is
# overdue (red, "SCADUTO") and one that is not (green), each on a fresh demo store. Writes
# docs/window-overdue.png and docs/window-in-time.png; the stores are thrown away and nothing is written back.
#
#   scripts/screenshots.sh [BUILD-DIR]      (default: the release build, built when missing)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build/release}"
if [ ! -x "$build/src/reminder-popup" ] || [ ! -x "$build/tests/x11_window_png" ]; then
    bash "$root/scripts/setup.sh"
    bash "$root/scripts/build.sh" release
    build="$root/build/release"
fi

work=$(mktemp -d)
popup_pid=""
source "$root/scripts/private-xserver.sh"
cleanup() {
    [ -n "$popup_pid" ] && { kill "$popup_pid" 2>/dev/null; wait "$popup_pid" 2>/dev/null; } || true
    stop_private_xserver
    rm -rf "$work"
}
trap cleanup EXIT
start_private_xserver "$work"
export LANG=C.UTF-8

mkdir -p "$root/docs"

# shoot NAME [--in-time]: one demo store, the window on it, its picture in docs/NAME.png, then the window closed.
shoot() {
    local name=$1
    shift
    local line request window=""
    line=$(bash "$root/scripts/make-demo-store.sh" "$@" "$work/$name" | tail -n 1)
    request=$(sed -n 's/^  reminder-popup "\(.*\)"$/\1/p' <<<"$line")
    "$build/src/reminder-popup" "$request" >"$work/$name.out" 2>&1 &
    popup_pid=$!
    for _ in $(seq 1 100); do
        window=$(xdotool search --onlyvisible --name '^APP\. ' 2>/dev/null | head -n 1 || true)
        [ -n "$window" ] && break
        sleep 0.1
    done
    [ -n "$window" ] || { echo "error: the window did not appear: $(cat "$work/$name.out")" >&2; exit 1; }
    # The first paint and the focus in the amount box settle after mapping.
    sleep 1
    "$build/tests/x11_window_png" "$window" "$root/docs/$name.png"
    "$build/tests/x11_close_window" "$window"
    wait "$popup_pid" || true
    popup_pid=""
    echo "docs/$name.png: $(xdotool getwindowname "$window" 2>/dev/null || echo closed)"
}

shoot window-overdue
shoot window-in-time --in-time
