#!/usr/bin/env bash
# The real executable on real SQLite files: the window's title is the exact expected text, and closing the
# window changes no row of any table.
source "$(dirname "$0")/lib.sh"
start_xserver
make_store "mario rossi"

due_store=$(date_text -300 '%Y-%m-%d %H:%M:00')
due_line=$(date -d "$due_store" '+%d/%m/%Y %H:%M:%S')
due_title=$(date -d "$due_store" '+%d/%m %H:%M')
sqlite3 "$DATA_DB" "INSERT INTO Clienti VALUES (57, 'ROSSI SRL', 'ROSSI IMPIANTI');"
sqlite3 "$VISITS_DB" "INSERT INTO TabAzioni VALUES ('MAN', 'MANUTENZIONE', 255);
    INSERT INTO Appuntamenti VALUES (57, '$due_store', 'MAN', 'Controllo caldaia', 'VERIFICA', 30);"
sqlite3 "$WORK_DB" "INSERT INTO Promemoria VALUES (57, '$due_store', 'MAN', '$STORE/doc.txt', '$due_store', 'S');"
before=$(store_dump)

launch_popup "$STORE/popup.ini|0|57|MAN|$due_line"
window=$(wait_window '^APP\. ')
title=$(xdotool getwindowname "$window")
[ "$title" = "APP. $due_title-VERIFICA" ] || fail "title was '$title'"

"$X11_CLOSE_WINDOW" "$window"
wait_popup_end
[ "$POPUP_STATUS" = 0 ] || fail "exit status $POPUP_STATUS"
[ "$(store_dump)" = "$before" ] || fail "closing the window changed the store"
echo "PASS: title '$title', closed with status 0, store unchanged"
