#!/usr/bin/env bash
# Fault matrix, the database files: each of the three missing, each replaced by a file that is not a database.
# The load error box names the file, the program ends with status 0, no file is created or changed.
source "$(dirname "$0")/fault_lib.sh"
start_xserver

for db in DatiQZ VisiteQZ WorkQZ; do
    row "database $db missing"
    fault_store "$E2E_TMP/store" "mario"
    missing="$STORE/mario/$db.mdb"
    rm "$missing"
    fingerprint_before
    launch_popup "$COMMAND"
    expect_load_error_and_end "3024-Impossibile trovare il file '$missing'."
    [ ! -e "$missing" ] || row_fail "the missing database was created"
    expect_files_unchanged
    for other in "$DATA_DB" "$VISITS_DB" "$WORK_DB"; do
        [ "$other" = "$missing" ] || expect_integrity "$other"
    done
    row_pass
done

for db in DatiQZ VisiteQZ WorkQZ; do
    row "database $db replaced by a file that is not a database"
    fault_store "$E2E_TMP/store" "mario"
    bogus="$STORE/mario/$db.mdb"
    # The first bytes of a desktop database file of the old engine, then filler.
    { printf '\0\1\0\0Standard Jet DB\0'; head -c 4096 /dev/zero | tr '\0' 'x'; } >"$bogus"
    fingerprint_before
    launch_popup "$COMMAND"
    expect_load_error_and_end "3343-Formato di database non riconosciuto: '$bogus'."
    expect_files_unchanged
    for other in "$DATA_DB" "$VISITS_DB" "$WORK_DB"; do
        [ "$other" = "$bogus" ] || expect_integrity "$other"
    done
    row_pass
done
