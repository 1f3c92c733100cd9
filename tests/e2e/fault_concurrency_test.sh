#!/usr/bin/env bash
# Fault matrix, other processes and the file system: a lock held during the load (shorter than the busy wait)
# and during postpone (longer than it), a database file the system refuses to write, the reminder row deleted
# while the window is open. The window always closes with status 0 and nothing is half-written.
source "$(dirname "$0")/fault_lib.sh"
start_xserver

HOLDER_PID=""
# hold_lock DB KIND SECONDS: another process takes the lock (IMMEDIATE keeps writers out, EXCLUSIVE readers too)
# and keeps it for SECONDS; returns once the lock is held.
hold_lock() {
    rm -f "$E2E_TMP/locked"
    printf 'BEGIN %s;\nSELECT count(*) FROM sqlite_master;\n.shell touch %q\n.shell sleep %s\nCOMMIT;\n' \
        "$2" "$E2E_TMP/locked" "$3" | sqlite3 "$1" >/dev/null &
    HOLDER_PID=$!
    for _ in $(seq 1 100); do
        [ -e "$E2E_TMP/locked" ] && return 0
        sleep 0.02
    done
    row_fail "the other process could not take the lock"
}
release_holder() {
    wait "$HOLDER_PID" || row_fail "the other process failed"
    rm -f "$E2E_TMP/locked"
    HOLDER_PID=""
}
now_ms() {
    date +%s%3N
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
[ "$shown_after" -lt 5000 ] || row_fail "the window was shown after ${shown_after} ms"
"$X11_CLOSE_WINDOW" "$window"
expect_end 0
expect_no_box
expect_files_unchanged
expect_integrity "$DATA_DB" "$VISITS_DB" "$WORK_DB"
row_pass

row "database locked by another process during postpone, for longer than the busy wait: the step is skipped"
fault_store "$E2E_TMP/store" "mario"
launch_popup "$COMMAND"
window=$(reminder_window)
work_before=$(sqlite3 "$WORK_DB" .dump)
fingerprint_before
hold_lock "$WORK_DB" IMMEDIATE 8
start=$(now_ms)
press "$window" alt+p
expect_end 0
ended_after=$(($(now_ms) - start))
release_holder
[ "$ended_after" -ge 4500 ] || row_fail "ended after ${ended_after} ms: the write did not wait for the lock"
[ "$ended_after" -lt 7500 ] || row_fail "ended after ${ended_after} ms: the wait was not bounded"
grep -q "^reminder-popup: Promemoria: scrittura non eseguito: 3260 - " "$E2E_TMP/popup.err" ||
    row_fail "no skipped write reported: $(cat "$E2E_TMP/popup.err")"
expect_no_box
[ "$(sqlite3 "$WORK_DB" .dump)" = "$work_before" ] || row_fail "the reminder row was changed"
[ "$(sqlite3 "$VISITS_DB" 'SELECT ApAllarm != 30 FROM Appuntamenti')" = 1 ] || row_fail "the appointment step did not run"
expect_no_new_files
expect_integrity "$DATA_DB" "$VISITS_DB" "$WORK_DB"
row_pass

row "database file read-only during postpone: the write is refused, the window closes"
fault_store "$E2E_TMP/store" "mario"
if chattr +i "$WORK_DB" 2>/dev/null && ! (echo >>"$WORK_DB") 2>/dev/null; then
    # Immutable: refused even to root, which ignores permission bits.
    fingerprint_before
    launch_popup "$COMMAND"
    window=$(reminder_window)
    press "$window" alt+p
    expect_end 0
    chattr -i "$WORK_DB"
    grep -q "^reminder-popup: Promemoria: scrittura non eseguito: 3027 - " "$E2E_TMP/popup.err" ||
        row_fail "no refused write reported: $(cat "$E2E_TMP/popup.err")"
    expect_no_box
    [ "$(sha256sum <"$WORK_DB")" = "$(echo "$FINGERPRINT" | grep "WorkQZ.mdb$" | cut -d' ' -f1)  -" ] ||
        row_fail "the read-only file changed"
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
    sqlite3 "$WORK_DB" "DELETE FROM Promemoria;"
    fingerprint_before
    if [ "$action" = postpone ]; then
        press "$window" alt+p
        expected_skip="Promemoria: apertura in modifica non eseguito: 3167 - "
        expected_lead="ApAllarm != 30"
    else
        press "$window" alt+n
        expected_skip="Promemoria: eliminazione non eseguito: 3167 - "
        expected_lead="ApAllarm = 0"
    fi
    expect_end 0
    grep -q "^reminder-popup: $expected_skip" "$E2E_TMP/popup.err" || row_fail "no skipped step: $(cat "$E2E_TMP/popup.err")"
    expect_no_box
    [ "$(sqlite3 "$WORK_DB" 'SELECT count(*) FROM Promemoria')" = 0 ] || row_fail "the deleted row came back"
    [ "$(sqlite3 "$VISITS_DB" "SELECT $expected_lead FROM Appuntamenti")" = 1 ] || row_fail "the appointment was not written"
    expect_no_new_files
    expect_integrity "$DATA_DB" "$VISITS_DB" "$WORK_DB"
    row_pass
done
