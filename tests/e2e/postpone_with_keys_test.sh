#!/usr/bin/env bash
# The operator postpones with the keyboard alone: the amount cleared and typed, the unit picked from the list
# with Tab and Down, Alt+P. Only the reminder's next alarm and wait flag and the appointment's lead change; the
# process ends with status 0.
source "$(dirname "$0")/lib.sh"
start_xserver
make_store "mario"

# Due 3 h and 30 s from now: the lead after a two-hour postpone then falls mid-minute, so its rounding down
# to the minute is checked without a boundary nearby.
due_store=$(date_text 10830 '%Y-%m-%d %H:%M:%S')
due_line=$(date -d "$due_store" '+%d/%m/%Y %H:%M:%S')
other_store=$(date_text 86400 '%Y-%m-%d %H:%M:%S')
store_sql "$DATA_DB" "INSERT INTO \"Clienti\" VALUES (57, 'ROSSI SRL', 'ROSSI IMPIANTI');"
store_sql "$VISITS_DB" "INSERT INTO \"TabAzioni\" VALUES ('MAN', 'MANUTENZIONE', 255);
    INSERT INTO \"Appuntamenti\" VALUES (57, '$due_store', 'MAN', 'Controllo caldaia', 'VERIFICA', 30);
    INSERT INTO \"Appuntamenti\" VALUES (57, '$other_store', 'MAN', 'Altro controllo', 'ALTRO', 30);"
store_sql "$WORK_DB" "INSERT INTO \"Promemoria\" VALUES (57, '$due_store', 'MAN', NULL, '$due_store', 'S');
    INSERT INTO \"Promemoria\" VALUES (57, '$other_store', 'MAN', NULL, '$other_store', 'S');"
store_snapshot "$E2E_TMP/expected"
appointment_key="\"ApCliente\" = 57 AND \"ApData\" = '$due_store' AND \"ApAzione\" = 'MAN'"
reminder_key="\"PmCliente\" = 57 AND \"PmData\" = '$due_store' AND \"PmAzione\" = 'MAN'"

launch_popup "$STORE/popup.ini|0|57|MAN|$due_line"
window=$(wait_window '^APP\. ')
timeout 10 xdotool windowfocus --sync "$window" || fail "the window did not take the focus"
# The amount box holds the focus and "15": two BackSpaces empty it. Tab order: amount, postpone, stop, unit
# list; Down moves the list from "minuti" to "ore".
xdotool key --delay 30 BackSpace BackSpace 2 Tab Tab Tab Down
clicked_after=$(date +%s)
xdotool key alt+p
wait_popup_end
ended_by=$(date +%s)
[ "$POPUP_STATUS" = 0 ] || fail "exit status $POPUP_STATUS: $(cat "$E2E_TMP/popup.err")"
! grep -q 'non eseguito' "$E2E_TMP/popup.err" || fail "a step was skipped: $(cat "$E2E_TMP/popup.err")"

# A date-time written as anything but the store's date-time text fails epoch_of.
alarm=$(store_sql "$WORK_DB" "SELECT \"PmAllarm\" FROM \"Promemoria\" WHERE $reminder_key")
[ "$(store_sql "$WORK_DB" "SELECT '[' || \"PmWait\" || ']' FROM \"Promemoria\" WHERE $reminder_key")" = "[ ]" ] ||
    fail "PmWait is not one blank"
alarm_epoch=$(epoch_of "$alarm")
# Two hours after the moment Alt+P was handled, in whole seconds.
[ "$alarm_epoch" -ge $((clicked_after + 7200)) ] && [ "$alarm_epoch" -le $((ended_by + 7201)) ] ||
    fail "PmAllarm $alarm is not two hours after the key (sent at $(date -d "@$clicked_after" '+%T'))"

[ "$(store_sql "$VISITS_DB" "SELECT CAST(\"ApAllarm\" = CAST(\"ApAllarm\" AS INTEGER) AS INTEGER) FROM \"Appuntamenti\" WHERE $appointment_key")" = 1 ] ||
    fail "ApAllarm is not a whole number"
lead=$(store_sql "$VISITS_DB" "SELECT CAST(\"ApAllarm\" AS INTEGER) FROM \"Appuntamenti\" WHERE $appointment_key")
# The lead was computed from the first clock reading, at most a second or so before the one giving PmAllarm.
seconds_before=$(($(epoch_of "$due_store") - alarm_epoch))
[ $((lead * 60)) -le $((seconds_before + 2)) ] && [ $(((lead + 1) * 60)) -gt $((seconds_before - 2)) ] ||
    fail "ApAllarm $lead does not round down the $seconds_before s between the new alarm and the appointment"

snapshot_sql "$E2E_TMP/expected" VisiteQZ "UPDATE \"Appuntamenti\" SET \"ApAllarm\" = $lead WHERE $appointment_key;"
snapshot_sql "$E2E_TMP/expected" WorkQZ "UPDATE \"Promemoria\" SET \"PmAllarm\" = '$alarm', \"PmWait\" = ' ' WHERE $reminder_key;"
diff <(snapshot_dump "$E2E_TMP/expected") <(store_dump) >&2 || fail "rows other than the two written changed"
echo "PASS: PmAllarm $alarm ($((alarm_epoch - clicked_after)) s after the key), ApAllarm $lead, nothing else changed"
