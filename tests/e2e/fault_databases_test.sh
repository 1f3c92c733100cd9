#!/usr/bin/env bash
# Fault matrix, the three databases: each missing (a file, or a schema on the server), each replaced by a file
# that is not a database. The load error box names the database, the program ends with status 0, nothing is
# created or changed.
source "$(dirname "$0")/fault_lib.sh"
start_xserver

for db in DatiQZ VisiteQZ WorkQZ; do
    row "database $db missing"
    fault_store "$E2E_TMP/store" "mario"
    if store_is_server; then
        store_sql "$DATA_DB" "DROP SCHEMA \"mario/$db\" CASCADE"
        expected="3024-Impossibile trovare il database 'mario/$db' sul server."
    else
        missing="$STORE/mario/$db.mdb"
        rm "$missing"
        expected="3024-Impossibile trovare il file '$missing'."
    fi
    fingerprint_before
    launch_popup "$COMMAND"
    expect_load_error_and_end "$expected"
    expect_files_unchanged
    for other in "$DATA_DB" "$VISITS_DB" "$WORK_DB"; do
        [ "$other" = "${missing:-}" ] || expect_integrity "$other"
    done
    row_pass
done

for db in DatiQZ VisiteQZ WorkQZ; do
    row "database $db replaced by a file that is not a database"
    skip_on_server "$ROW" && continue
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
