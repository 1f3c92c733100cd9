#!/usr/bin/env bash
# The operator stops the reminder with Alt+N: the reminder row is deleted, the appointment's lead becomes 0,
# whatever amount and unit were chosen, no other row changes and the process ends with status 0.
source "$(dirname "$0")/lib.sh"
start_xserver
make_store "mario"

due_store=$(date_text -600 '%Y-%m-%d %H:%M:%S')
due_line=$(date -d "$due_store" '+%d/%m/%Y %H:%M:%S')
other_store=$(date_text 86400 '%Y-%m-%d %H:%M:%S')
store_sql "$DATA_DB" "INSERT INTO \"Clienti\" VALUES (57, 'ROSSI SRL', 'ROSSI IMPIANTI');"
store_sql "$VISITS_DB" "INSERT INTO \"TabAzioni\" VALUES ('MAN', 'MANUTENZIONE', 255);
    INSERT INTO \"Appuntamenti\" VALUES (57, '$due_store', 'MAN', 'Controllo caldaia', 'VERIFICA', 30);
    INSERT INTO \"Appuntamenti\" VALUES (57, '$other_store', 'MAN', 'Altro controllo', 'ALTRO', 30);"
store_sql "$WORK_DB" "INSERT INTO \"Promemoria\" VALUES (57, '$due_store', 'MAN', '$STORE/doc.txt', '$due_store', 'S');
    INSERT INTO \"Promemoria\" VALUES (57, '$other_store', 'MAN', NULL, '$other_store', 'S');"
store_snapshot "$E2E_TMP/expected"
appointment_key="\"ApCliente\" = 57 AND \"ApData\" = '$due_store' AND \"ApAzione\" = 'MAN'"
reminder_key="\"PmCliente\" = 57 AND \"PmData\" = '$due_store' AND \"PmAzione\" = 'MAN'"

launch_popup "$STORE/popup.ini|0|57|MAN|$due_line"
window=$(wait_window '^APP\. ')
timeout 10 xdotool windowfocus --sync "$window" || fail "the window did not take the focus"
xdotool key --delay 30 BackSpace BackSpace 7 Tab Tab Tab Down
xdotool key alt+n
wait_popup_end
[ "$POPUP_STATUS" = 0 ] || fail "exit status $POPUP_STATUS: $(cat "$E2E_TMP/popup.err")"
! grep -q 'non eseguito' "$E2E_TMP/popup.err" || fail "a step was skipped: $(cat "$E2E_TMP/popup.err")"

[ "$(store_sql "$WORK_DB" "SELECT count(*) FROM \"Promemoria\" WHERE $reminder_key")" = 0 ] || fail "the reminder row is still there"
lead=$(store_sql "$VISITS_DB" "SELECT \"ApAllarm\" FROM \"Appuntamenti\" WHERE $appointment_key")
[ "$(store_sql "$VISITS_DB" "SELECT CAST(\"ApAllarm\" = 0 AS INTEGER) FROM \"Appuntamenti\" WHERE $appointment_key")" = 1 ] ||
    fail "ApAllarm is $lead, not 0"

snapshot_sql "$E2E_TMP/expected" VisiteQZ "UPDATE \"Appuntamenti\" SET \"ApAllarm\" = 0 WHERE $appointment_key;"
snapshot_sql "$E2E_TMP/expected" WorkQZ "DELETE FROM \"Promemoria\" WHERE $reminder_key;"
diff <(snapshot_dump "$E2E_TMP/expected") <(store_dump) >&2 || fail "rows other than the two written changed"
echo "PASS: reminder row deleted, ApAllarm $lead, nothing else changed, status 0"
