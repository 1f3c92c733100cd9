#!/usr/bin/env bash
# One full run of the real pop-up under valgrind's memcheck: load of a demo store, Alt+P (postpone), unload.
# Prints memcheck's summary and fails when memory is definitely lost or read or written out of bounds in the
# project's own code. Qt, fontconfig and X11 noise is suppressed by scripts/valgrind.supp.
#
#   scripts/valgrind-run.sh [EXECUTABLE]      (default: the dev build, built when missing)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
popup="${1:-$root/build/dev/src/reminder-popup}"
if [ ! -x "$popup" ]; then
    bash "$root/scripts/setup.sh"
    bash "$root/scripts/build.sh" dev
fi
command -v valgrind >/dev/null || { echo "error: valgrind is needed (bash scripts/setup.sh)" >&2; exit 1; }

work=$(mktemp -d)
popup_pid=""
source "$root/scripts/private-xserver.sh"
cleanup() {
    [ -n "$popup_pid" ] && { kill "$popup_pid" 2>/dev/null; wait "$popup_pid" 2>/dev/null; } || true
    stop_private_xserver
    [ -n "${KEEP_VALGRIND_LOG:-}" ] && cp "$work/memcheck.log" "$KEEP_VALGRIND_LOG"
    rm -rf "$work"
}
trap cleanup EXIT
start_private_xserver "$work"

launch_line=$(bash "$root/scripts/make-demo-store.sh" "$work/demo" | tail -n 1)
command_text=$(printf '%s' "$launch_line" | sed -E 's/^[^"]*"(.*)"$/\1/')
before=$(sqlite3 "$work/demo/DEMO/WorkQZ.mdb" 'SELECT PmAllarm FROM Promemoria')

log="$work/memcheck.log"
valgrind --tool=memcheck --leak-check=full --show-leak-kinds=definite --errors-for-leak-kinds=definite \
    --track-origins=yes --num-callers=30 --suppressions="$root/scripts/valgrind.supp" --gen-suppressions=all \
    --log-file="$log" "$popup" "$command_text" >"$work/popup.out" 2>&1 &
popup_pid=$!

window=""
for _ in $(seq 1 600); do
    window=$(xdotool search --onlyvisible --name '^APP\. ' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    kill -0 "$popup_pid" 2>/dev/null || break
    sleep 0.1
done
[ -n "$window" ] || { echo "error: the window did not appear under valgrind: $(cat "$work/popup.out")" >&2; cat "$log" >&2; exit 1; }
sleep 1
xdotool windowfocus --sync "$window" key alt+p
status=0
wait "$popup_pid" || status=$?
popup_pid=""

after=$(sqlite3 "$work/demo/DEMO/WorkQZ.mdb" 'SELECT PmAllarm FROM Promemoria')
echo "pop-up exit status: $status; reminder postponed: $before -> $after"
[ "$status" = 0 ] || { echo "error: the pop-up failed under valgrind" >&2; exit 1; }
[ "$before" != "$after" ] || { echo "error: the postpone was not written" >&2; exit 1; }

# One summary per process: the pop-up's own, and any that a forked helper (the desktop's D-Bus launcher) printed.
sed -n '/HEAP SUMMARY/,$p' "$log" | sed 's/^==[0-9]*== //' | sed '/^{$/,/^}$/d'

# An error is the project's when one of its frames names the rp namespace or the program's own sources.
own_errors=$(awk '
    /^==[0-9]+== (Invalid (read|write|free)|Mismatched free|Conditional jump|Use of uninitialised|[0-9,]+ bytes in [0-9,]+ blocks are definitely lost)/ { block = $0; collecting = 1; next }
    collecting && /^==[0-9]+== *$/ { if (own) print block; block = ""; own = 0; collecting = 0; next }
    collecting { block = block "\n" $0; if ($0 ~ /rp::|\/src\/(app|common|reminder|actions|platform|main)/) own = 1 }
' "$log")
if [ -n "$own_errors" ]; then
    echo "errors in the project's code:"
    echo "$own_errors"
    exit 1
fi
echo "no definite leak and no invalid read or write in the project's code"
