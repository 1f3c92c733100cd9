#!/usr/bin/env bash
# Fault matrix, other processes and the file system: a lock held during the load (shorter than the busy wait)
# and during postpone and stop (longer than it), a database file the system refuses to write, the reminder
# row deleted or changed by another process while the window is open. A write that did not take keeps the
# window open with the "ERRORE IN SCRITTURA" box; the program ends with status 0, the stores are as the steps
# that ran left them, and nothing is half-written. On the server the two writes of an action are one
# transaction: where the files keep the step that ran, the server keeps neither.
source "$(dirname "$0")/fault_lib.sh"
start_xserver

HOLDER_PID=""
# hold_lock DB KIND HOLD [SQL]: another process takes the lock (IMMEDIATE keeps writers out, EXCLUSIVE readers
# too), runs SQL inside its transaction, keeps the lock and commits; returns once the lock is held. HOLD is a
# number of seconds where the row is about a lock let go while the pop-up waits for it, or "released" to keep it
# until release_holder (a minute at most). Its commit waits for readers to let go, as the scheduling
# application's would. On the server, IMMEDIATE locks every row of the database's tables as the application's
# own edits would, EXCLUSIVE the tables themselves.
hold_lock() {
    local table take=""
    rm -f "$E2E_TMP/locked" "$E2E_TMP/release"
    if [ "$3" = released ]; then
        # Until release_holder writes a line to the pipe (opened both ways, so that neither side waits for the other
        # to open it).
        mkfifo "$E2E_TMP/release"
        printf 'exec 3<>%q\nread -r -t 60 -u 3 _\n' "$E2E_TMP/release" >"$E2E_TMP/keep.sh"
    else
        printf 'sleep %s\n' "$3" >"$E2E_TMP/keep.sh"
    fi
    if store_is_server; then
        for table in $(tables_of "$1"); do
            if [ "$2" = IMMEDIATE ]; then
                take+="SELECT 1 FROM \"$table\" FOR UPDATE; "
            else
                take+="LOCK TABLE \"$table\" IN ACCESS EXCLUSIVE MODE; "
            fi
        done
        printf 'SET lock_timeout = 5000;\nBEGIN;\n%s\n%s\n\\! touch %q\n\\! bash %q\nCOMMIT;\n' \
            "$take" "${4:-}" "$E2E_TMP/locked" "$E2E_TMP/keep.sh" | store_sql "$1" >/dev/null &
    else
        printf '.timeout 5000\nBEGIN %s;\nSELECT count(*) FROM sqlite_master;\n%s\n.shell touch %q\n.shell bash %q\nCOMMIT;\n' \
            "$2" "${4:-}" "$E2E_TMP/locked" "$E2E_TMP/keep.sh" | sqlite3 -bail "$1" >/dev/null &
    fi
    HOLDER_PID=$!
    for _ in $(seq 1 100); do
        [ -e "$E2E_TMP/locked" ] && return 0
        nap 0.02
    done
    row_fail "the other process could not take the lock"
}
release_holder() {
    local release
    if [ -p "$E2E_TMP/release" ]; then
        exec {release}<>"$E2E_TMP/release"
        echo >&"$release"
        exec {release}>&-
    fi
    wait "$HOLDER_PID" || row_fail "the other process failed"
    rm -f "$E2E_TMP/locked" "$E2E_TMP/release"
    HOLDER_PID=""
}
# The postpone took over another process's change to the reminder row, which stays; nothing else changed.
expect_postponed_over_other_change() {
    expect_value "$WORK_DB" "SELECT \"PmDocumento\" || '|' || \"PmWait\" || '|' || CAST(\"PmAllarm\" > '$DUE_STORE' AS INTEGER) FROM \"Promemoria\"" \
            "altro.txt| |1" "the reminder row"
    expect_value "$VISITS_DB" 'SELECT CAST("ApAllarm" != 30 AS INTEGER) FROM "Appuntamenti"' 1 "the appointment was not written"
    expect_no_new_files
    expect_others_unchanged
    expect_integrity "$DATA_DB" "$VISITS_DB" "$WORK_DB"
}

tables_of() {
    case "$1" in
    *DatiQZ*) echo Clienti ;;
    *VisiteQZ*) echo Appuntamenti TabAzioni ;;
    *) echo Promemoria ;;
    esac
}
# lock_text DB: how the box names a database another process holds locked.
lock_text() {
    if store_is_server; then
        echo "$1 (canceling statement due to lock timeout, SQLSTATE 55P03)"
    else
        echo "$1 (database is locked)"
    fi
}
# lead_after_failed_action LEAD: ApAllarm's test once an action's reminder write failed: on the files the
# appointment's write that ran stays (LEAD), on the server it was rolled back with the rest.
lead_after_failed_action() {
    if store_is_server; then
        echo '"ApAllarm" = 30'
    else
        echo "$1"
    fi
}
# expect_value DB SQL VALUE WHAT: the query gives VALUE, or the row fails saying WHAT.
expect_value() {
    local got
    got=$(store_sql "$1" "$2")
    [ "$got" = "$3" ] || row_fail "$4 ($got, expected $3)"
}

row "database locked by another process during the load, for less than the busy wait: the load succeeds"
fault_store "$E2E_TMP/store" "mario"
fingerprint_before
hold_lock "$VISITS_DB" EXCLUSIVE 2
start=$(now_ms)
launch_popup "$COMMAND"
window=$(reminder_window)
shown_after=$(($(now_ms) - start))
release_holder
[ "$shown_after" -ge 1200 ] || row_fail "the window was shown after ${shown_after} ms: the load did not wait for the lock"
# Twice the busy wait: a load that hangs on the lock, not one slowed by a busy machine.
[ "$shown_after" -lt 10000 ] || row_fail "the window was shown after ${shown_after} ms"
"$X11_CLOSE_WINDOW" "$window"
expect_end 0
expect_no_box
expect_files_unchanged
expect_integrity "$DATA_DB" "$VISITS_DB" "$WORK_DB"
row_pass

for action in postpone stop; do
    row "database locked by another process during $action, for longer than the busy wait: the box"
    fault_store "$E2E_TMP/store" "mario"
    launch_popup "$COMMAND"
    window=$(reminder_window)
    fingerprint_before
    hold_lock "$WORK_DB" IMMEDIATE released
    start=$(now_ms)
    box_text="ERRORE IN SCRITTURA PROMEMORIA | 3260: Database bloccato da un altro processo: $(lock_text "$WORK_DB")"
    if [ "$action" = postpone ]; then
        press "$window" alt+p
        wait_box ERRORE "$box_text"
        shown_after=$(($(now_ms) - start))
        grep -q "^reminder-popup: Promemoria: scrittura non eseguito: 3260 - " "$E2E_TMP/popup.err" ||
            row_fail "no skipped write reported: $(cat "$E2E_TMP/popup.err")"
        # Riprova once the other process has let go: the whole postpone runs again and takes.
        release_holder
        answer_box Return
        expect_end 0
        expect_value "$WORK_DB" "SELECT CAST(\"PmWait\" = ' ' AND \"PmAllarm\" > '$DUE_STORE' AS INTEGER) FROM \"Promemoria\"" 1 \
            "the reminder was not postponed"
        expect_value "$VISITS_DB" 'SELECT CAST("ApAllarm" != 30 AS INTEGER) FROM "Appuntamenti"' 1 "the appointment was not written"
    else
        press "$window" alt+n
        wait_box ERRORE "$box_text"
        shown_after=$(($(now_ms) - start))
        grep -q "^reminder-popup: Promemoria: eliminazione non eseguito: 3260 - " "$E2E_TMP/popup.err" ||
            row_fail "no skipped delete reported: $(cat "$E2E_TMP/popup.err")"
        # Annulla: the window stays, the reminder is still there.
        answer_box Escape
        expect_window_open "$window"
        expect_value "$VISITS_DB" "SELECT CAST($(lead_after_failed_action '"ApAllarm" = 0') AS INTEGER) FROM \"Appuntamenti\"" 1 \
            "the appointment's lead"
        expect_value "$WORK_DB" 'SELECT count(*) FROM "Promemoria"' 1 "the reminder row went"
        # The operator tries again once the other process has let go.
        release_holder
        press "$window" alt+n
        expect_end 0
        expect_value "$WORK_DB" 'SELECT count(*) FROM "Promemoria"' 0 "the reminder was not deleted"
    fi
    [ "$shown_after" -ge 4500 ] || row_fail "the box came after ${shown_after} ms: the write did not wait for the lock"
    [ "$shown_after" -lt 10000 ] || row_fail "the box came after ${shown_after} ms: the wait was not bounded"
    [ "$(box_count "$box_text")" = 1 ] || row_fail "the box came back: $(cat "$E2E_TMP/popup.err")"
    expect_no_new_files
    expect_others_unchanged
    expect_integrity "$DATA_DB" "$VISITS_DB" "$WORK_DB"
    row_pass
done

row "database file read-only during postpone: the box, Annulla, the window stays until closed"
if skip_on_server "$ROW"; then
    :
elif fault_store "$E2E_TMP/store" "mario" && chattr +i "$WORK_DB" 2>/dev/null && ! (echo >>"$WORK_DB") 2>/dev/null; then
    # Immutable: refused even to root, which ignores permission bits.
    fingerprint_before
    launch_popup "$COMMAND"
    window=$(reminder_window)
    press "$window" alt+p
    expect_box ERRORE "ERRORE IN SCRITTURA PROMEMORIA | 3027: Database di sola lettura, modifica impossibile: '$WORK_DB' (attempt to write a readonly database)" Escape
    expect_window_open "$window"
    "$X11_CLOSE_WINDOW" "$window"
    expect_end 0
    chattr -i "$WORK_DB"
    grep -q "^reminder-popup: Promemoria: scrittura non eseguito: 3027 - " "$E2E_TMP/popup.err" ||
        row_fail "no refused write reported: $(cat "$E2E_TMP/popup.err")"
    [ "$(sha256sum <"$WORK_DB")" = "$(echo "$FINGERPRINT" | grep "WorkQZ.mdb$" | cut -d' ' -f1)  -" ] ||
        row_fail "the read-only file changed"
    expect_value "$VISITS_DB" 'SELECT CAST("ApAllarm" != 30 AS INTEGER) FROM "Appuntamenti"' 1 "the appointment step did not run"
    expect_no_new_files
    expect_integrity "$DATA_DB" "$VISITS_DB" "$WORK_DB"
    row_pass
else
    chattr -i "$WORK_DB" 2>/dev/null || true
    echo "SKIP: $ROW (this file system cannot make a file immutable)"
fi

for action in postpone stop; do
    row "reminder row deleted by another process while the window is open, then $action"
    fault_store "$E2E_TMP/store" "mario"
    launch_popup "$COMMAND"
    window=$(reminder_window)
    store_sql "$WORK_DB" 'DELETE FROM "Promemoria";'
    fingerprint_before
    if [ "$action" = postpone ]; then
        press "$window" alt+p
        # The row stays gone: Riprova fails the same way, Annulla leaves the window to be closed.
        box_text="ERRORE IN SCRITTURA PROMEMORIA | 3167: Il record della tabella 'Promemoria' è stato eliminato da un altro utente."
        expect_box ERRORE "$box_text" Return
        for _ in $(seq 1 100); do
            [ "$(box_count "$box_text")" = 2 ] && break
            nap 0.05
        done
        expect_box ERRORE "$box_text" Escape
        expect_window_open "$window"
        "$X11_CLOSE_WINDOW" "$window"
        expected_lead=$(lead_after_failed_action '"ApAllarm" != 30')
        expect_end 0
        grep -q "^reminder-popup: Promemoria: scrittura non eseguito: 3167 - " "$E2E_TMP/popup.err" ||
            row_fail "no failed write reported: $(cat "$E2E_TMP/popup.err")"
    else
        # Already what the operator asked: no box, no failure reported, the window closes.
        press "$window" alt+n
        expected_lead='"ApAllarm" = 0'
        expect_end 0
        ! grep -q "non eseguito" "$E2E_TMP/popup.err" || row_fail "a stop done reported as failed: $(cat "$E2E_TMP/popup.err")"
        expect_no_box
    fi
    expect_value "$WORK_DB" 'SELECT count(*) FROM "Promemoria"' 0 "the deleted row came back"
    expect_value "$VISITS_DB" "SELECT CAST($expected_lead AS INTEGER) FROM \"Appuntamenti\"" 1 "the appointment's lead"
    expect_no_new_files
    expect_others_unchanged
    expect_integrity "$DATA_DB" "$VISITS_DB" "$WORK_DB"
    row_pass
done

row "reminder row changed by another process while postpone waits to write it: the box, Riprova writes the row read again"
fault_store "$E2E_TMP/store" "mario"
launch_popup "$COMMAND"
window=$(reminder_window)
fingerprint_before
# The other process changes the row and commits while the pop-up's update waits for the lock.
hold_lock "$WORK_DB" IMMEDIATE 3 "UPDATE \"Promemoria\" SET \"PmDocumento\" = 'altro.txt';"
press "$window" alt+p
box_text="ERRORE IN SCRITTURA PROMEMORIA | 3197: Il record della tabella 'Promemoria' è stato modificato da un altro utente dopo la lettura: le modifiche non sono state salvate."
expect_box ERRORE "$box_text" Return
release_holder
expect_end 0
[ "$(box_count "$box_text")" = 1 ] || row_fail "Riprova failed again: $(cat "$E2E_TMP/popup.err")"
expect_postponed_over_other_change
row_pass

row "reminder row changed by another process before postpone: the box, Riprova writes over the row as it stands"
fault_store "$E2E_TMP/store" "mario"
launch_popup "$COMMAND"
window=$(reminder_window)
store_sql "$WORK_DB" "UPDATE \"Promemoria\" SET \"PmDocumento\" = 'altro.txt';"
fingerprint_before
press "$window" alt+p
expect_box ERRORE "$box_text" Return
expect_end 0
expect_postponed_over_other_change
row_pass

row "appointment and reminder moved to another time while the window is open, then postpone: the box, nothing written"
fault_store "$E2E_TMP/store" "mario"
store_use_own_key_layout
store_sql "$WORK_DB" "INSERT INTO \"Promemoria\" (\"$PM_CLIENT\", \"$PM_WHEN\", \"$PM_ACTION\", \"PmAllarm\", \"PmWait\")
    VALUES (57, '$DUE_STORE', 'MAN', '$DUE_STORE', 'S');"
launch_popup "$COMMAND"
window=$(reminder_window)
moved=$(date_text 86400 '%Y-%m-%d %H:%M:%S')
store_sql_each "$VISITS_DB" "UPDATE \"Appuntamenti\" SET \"ApData\" = '$moved';" \
    "$WORK_DB" "UPDATE \"Promemoria\" SET \"$PM_WHEN\" = '$moved';"
fingerprint_before
press "$window" alt+p
expect_box ERRORE "ERRORE IN SCRITTURA PROMEMORIA | 3167: Il record della tabella 'Promemoria' è stato eliminato da un altro utente." Escape
expect_window_open "$window"
"$X11_CLOSE_WINDOW" "$window"
expect_end 0
expect_files_unchanged
expect_integrity "$DATA_DB" "$VISITS_DB" "$WORK_DB"
row_pass
