#!/usr/bin/env bash
# Fault matrix, hostile text: SQL text in the action code and in stored fields is only ever data; a document
# path full of shell syntax is never run by a shell, whether the file is missing (the exact error box) or is
# handed to the desktop's opener (one argument, the path unchanged).
source "$(dirname "$0")/fault_lib.sh"
start_xserver
# A shell run by mistake would create its files here, inside the checked folder.
mkdir "$E2E_TMP/cwd"
cd "$E2E_TMP/cwd"

row "action code and client fields carrying SQL text"
fault_store "$E2E_TMP/store" "mario"
code="x'; DROP TABLE Promemoria; --"
cause="'; DELETE FROM Appuntamenti; --"
store_sql "$DATA_DB" "UPDATE \"Clienti\" SET \"CliRagsoc\" = '$(sql_text "x'); DROP TABLE Clienti; --")';"
store_sql "$VISITS_DB" "INSERT INTO \"TabAzioni\" VALUES ('$(sql_text "$code")', '$(sql_text "$code")', 255);
    UPDATE \"Appuntamenti\" SET \"ApAzione\" = '$(sql_text "$code")', \"ApCausa\" = '$(sql_text "$cause")';"
store_sql "$WORK_DB" "UPDATE \"Promemoria\" SET \"PmAzione\" = '$(sql_text "$code")';"
TITLE="APP. $(date -d "$DUE_STORE" '+%d/%m %H:%M')-$cause"
fingerprint_before
launch_popup "$SETTINGS|0|57|$code|$DUE_LINE"
window=$(reminder_window)
press "$window" alt+p
expect_end 0
expect_no_box
[ "$(store_sql "$WORK_DB" "SELECT count(*) FROM \"Promemoria\" WHERE \"PmAzione\" = '$(sql_text "$code")' AND \"PmWait\" = ' '")" = 1 ] ||
    row_fail "the reminder was not postponed: $(store_dump)"
[ "$(store_sql "$VISITS_DB" "SELECT count(*) FROM \"Appuntamenti\" WHERE \"ApAllarm\" != 30")" = 1 ] || row_fail "the appointment was not written"
[ "$(store_sql "$VISITS_DB" "SELECT count(*) FROM \"TabAzioni\"")" = 2 ] || row_fail "TabAzioni changed"
[ "$(store_sql "$DATA_DB" "SELECT count(*) FROM \"Clienti\"")" = 1 ] || row_fail "Clienti changed"
expect_no_new_files
expect_integrity "$DATA_DB" "$VISITS_DB" "$WORK_DB"
row_pass

document="$E2E_TMP/docs/a b; touch pwned1 \$(touch pwned2) \`touch pwned3\` \"q\" 'x' #%?.txt"

row "document path carrying shell syntax, file missing: the error box, nothing run"
fault_store "$E2E_TMP/store" "mario"
store_sql "$WORK_DB" "UPDATE \"Promemoria\" SET \"PmDocumento\" = '$(sql_text "$document")';"
fingerprint_before
launch_popup "$COMMAND"
window=$(reminder_window)
press "$window" alt+d
expect_box "ERRORE IN ESECUZIONE DI '$document'" "ERRORE DI ESECUZIONE DEL PROGRAMMA  '$document' " Return
xdotool search --onlyvisible --name '^APP\. ' | grep -qx "$window" || row_fail "the reminder window closed"
"$X11_CLOSE_WINDOW" "$window"
expect_end 0
expect_files_unchanged
expect_integrity "$DATA_DB" "$VISITS_DB" "$WORK_DB"
row_pass

row "document path carrying shell syntax, file present: the opener gets the path as one argument, nothing run"
fault_store "$E2E_TMP/store" "mario"
store_sql "$WORK_DB" "UPDATE \"Promemoria\" SET \"PmDocumento\" = '$(sql_text "$document")';"
mkdir -p "$E2E_TMP/docs" "$E2E_TMP/bin"
echo "documento" >"$document"
opened="$E2E_TMP/opened.args"
# The desktop's opener, standing in for xdg-open: it records its arguments, one a line, and runs nothing.
printf '#!/bin/sh\nfor a in "$@"; do printf "%%s\\n" "$a"; done >%q.part\nmv %q.part %q\n' "$opened" "$opened" "$opened" \
    >"$E2E_TMP/bin/xdg-open"
chmod +x "$E2E_TMP/bin/xdg-open"
fingerprint_before
PATH="$E2E_TMP/bin:$PATH" launch_popup "$COMMAND"
window=$(reminder_window)
press "$window" alt+d
for _ in $(seq 1 100); do
    [ -e "$opened" ] && break
    nap 0.05
done
[ -e "$opened" ] || row_fail "the opener was not started: $(cat "$E2E_TMP/popup.err")"
[ "$(wc -l <"$opened")" = 1 ] || row_fail "the opener got $(wc -l <"$opened") arguments: $(cat "$opened")"
url=$(cat "$opened")
decoded=$(printf '%b' "${url//%/\\x}")
[ "$decoded" = "file://$document" ] || row_fail "the opener got '$url'"
rm "$opened"
expect_no_box
"$X11_CLOSE_WINDOW" "$window"
expect_end 0
expect_files_unchanged
[ -z "$(find "$E2E_TMP" -name 'pwned*')" ] || row_fail "a shell ran: $(find "$E2E_TMP" -name 'pwned*')"
expect_integrity "$DATA_DB" "$VISITS_DB" "$WORK_DB"
row_pass
