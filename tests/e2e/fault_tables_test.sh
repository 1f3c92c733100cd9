#!/usr/bin/env bash
# Fault matrix, the tables: a look-up table missing gives the Retry/Cancel box and the load goes on; the
# appointment or reminder table missing, a table without a primary key, a field missing, a colour that is no
# number or a reminder row missing give the load error box and the program ends. Nothing is written.
source "$(dirname "$0")/fault_lib.sh"
start_xserver

# finish_row: the store is as it was and sound.
finish_row() {
    expect_files_unchanged
    expect_integrity "$DATA_DB" "$VISITS_DB" "$WORK_DB"
    row_pass
}

row "table Clienti missing: the box, Riprova once the table is back, the load goes on"
fault_store "$E2E_TMP/store" "mario"
store_sql "$DATA_DB" "DROP TABLE \"Clienti\";"
launch_popup "$COMMAND"
wait_stderr_line "reminder-popup: ERRORE: ERRORE IN APERTURA TABELLA CLIENTI | 3078: Impossibile trovare la tabella 'Clienti'."
store_sql "$DATA_DB" "CREATE TABLE \"Clienti\" (\"CliCodice\" integer NOT NULL PRIMARY KEY, \"CliRagsoc\" text, \"CliRagsocEstesa\" text);"
fingerprint_before
expect_box "ERRORE" "ERRORE IN APERTURA TABELLA CLIENTI | 3078: Impossibile trovare la tabella 'Clienti'." Return
window=$(reminder_window)
[ "$(grep -c 'APERTURA TABELLA' "$E2E_TMP/popup.err")" = 1 ] || row_fail "the box came back after Riprova"
"$X11_CLOSE_WINDOW" "$window"
expect_end 0
finish_row

row "table TabAzioni missing: the box twice (Riprova, then Annulla), the load goes on"
fault_store "$E2E_TMP/store" "mario"
store_sql "$VISITS_DB" "DROP TABLE \"TabAzioni\";"
fingerprint_before
launch_popup "$COMMAND"
box_text="ERRORE IN APERTURA TABELLA INTERVENTI | 3078: Impossibile trovare la tabella 'TabAzioni'."
expect_box "ERRORE" "$box_text" Return
for _ in $(seq 1 100); do
    [ "$(grep -c 'APERTURA TABELLA INTERVENTI' "$E2E_TMP/popup.err")" = 2 ] && break
    nap 0.05
done
[ "$(grep -c 'APERTURA TABELLA INTERVENTI' "$E2E_TMP/popup.err")" = 2 ] || row_fail "Riprova did not try again"
expect_box "ERRORE" "$box_text" Escape
window=$(reminder_window)
"$X11_CLOSE_WINDOW" "$window"
expect_end 0
finish_row

for table in Appuntamenti Promemoria; do
    row "table $table missing: the load error box, the program ends"
    fault_store "$E2E_TMP/store" "mario"
    db=$VISITS_DB
    [ "$table" = Promemoria ] && db=$WORK_DB
    store_sql "$db" "DROP TABLE \"$table\";"
    fingerprint_before
    launch_popup "$COMMAND"
    expect_load_error_and_end "3078-Impossibile trovare la tabella '$table'."
    grep -q "APERTURA TABELLA" "$E2E_TMP/popup.err" && row_fail "a Retry/Cancel box for $table"
    finish_row
done

row "table Clienti without a primary key: the load error box, the program ends"
fault_store "$E2E_TMP/store" "mario"
store_sql "$DATA_DB" "DROP TABLE \"Clienti\"; CREATE TABLE \"Clienti\" (\"CliCodice\" integer, \"CliRagsoc\" text, \"CliRagsocEstesa\" text);
    INSERT INTO \"Clienti\" VALUES (57, 'ROSSI SRL', NULL);"
fingerprint_before
launch_popup "$COMMAND"
expect_load_error_and_end "3800-'primaria' non è un indice della tabella 'Clienti': la tabella non ha una chiave primaria."
finish_row

row "field PmDocumento missing: the load error box, the program ends"
fault_store "$E2E_TMP/store" "mario"
store_sql "$WORK_DB" "ALTER TABLE \"Promemoria\" DROP COLUMN \"PmDocumento\";"
fingerprint_before
launch_popup "$COMMAND"
expect_load_error_and_end "3265-Campo 'PmDocumento' non trovato nella tabella 'Promemoria'."
finish_row

row "TbaColore not a number: type mismatch, the program ends"
if ! skip_on_server "$ROW: the server's integer column holds no text"; then
    fault_store "$E2E_TMP/store" "mario"
    store_sql "$VISITS_DB" "UPDATE \"TabAzioni\" SET \"TbaColore\" = 'rosso';"
    fingerprint_before
    launch_popup "$COMMAND"
    expect_load_error_and_end "13-Tipo non corrispondente"
    finish_row
fi

row "reminder row missing: the load error box, the program ends"
fault_store "$E2E_TMP/store" "mario"
store_sql "$WORK_DB" "DELETE FROM \"Promemoria\";"
fingerprint_before
launch_popup "$COMMAND"
expect_load_error_and_end "3021-Nessun record corrente."
finish_row
