#!/usr/bin/env bash
# The real executable on a real store: the window's title is the exact expected text, and closing the
# window changes no row of any table.
source "$(dirname "$0")/lib.sh"
start_xserver
make_store "mario rossi"

add_overdue_reminder "$STORE/doc.txt"
before=$(store_dump)

launch_popup "$STORE/popup.ini|0|57|MAN|$due_line"
window=$(wait_window '^APP\. ')
title=$(xdotool getwindowname "$window")
[ "$title" = "APP. $due_title-VERIFICA" ] || fail "title was '$title'"

"$X11_CLOSE_WINDOW" "$window"
wait_popup_end
[ "$POPUP_STATUS" = 0 ] || fail "exit status $POPUP_STATUS"
diff <(echo "$before") <(store_dump) >&2 || fail "closing the window changed the store"
echo "PASS: title '$title', closed with status 0, store unchanged"
