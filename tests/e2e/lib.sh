# Shared by the end-to-end tests: a private X server, a store made from the project's layout files,
# and the real executable driven with xdotool.
set -euo pipefail

: "${REMINDER_POPUP:?path of the reminder-popup executable}"
: "${REMINDER_SOURCE_DIR:?path of the project}"

E2E_TMP=$(mktemp -d)
E2E_POPUP_PID=""
export XDG_RUNTIME_DIR="$E2E_TMP/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
source "$REMINDER_SOURCE_DIR/scripts/private-xserver.sh"

# e2e_cleanup [STATUS]: ends what the test started and waits for it to be gone, so that nothing of this test is
# left running when the next one starts. A failed test (STATUS, by default the exit status) shows the X server's log.
e2e_cleanup() {
    local status=${1:-$?}
    if [ "$status" != 0 ] && [ -s "$E2E_TMP/xvfb.log" ]; then
        echo "X server log:" >&2
        cat "$E2E_TMP/xvfb.log" >&2
    fi
    stop_popup
    stop_private_xserver
    rm -rf "$E2E_TMP"
}
trap e2e_cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

start_xserver() {
    start_private_xserver "$E2E_TMP"
}

# make_store OPERATOR: three database files under $E2E_TMP/store and a settings file $E2E_TMP/store/popup.ini.
make_store() {
    local op="$1"
    STORE="$E2E_TMP/store"
    mkdir -p "$STORE/$op"
    sqlite3 "$STORE/$op/DatiQZ.mdb" <"$REMINDER_SOURCE_DIR/data/layout/DatiQZ.sql"
    sqlite3 "$STORE/$op/VisiteQZ.mdb" <"$REMINDER_SOURCE_DIR/data/layout/VisiteQZ.sql"
    sqlite3 "$STORE/$op/WorkQZ.mdb" <"$REMINDER_SOURCE_DIR/data/layout/WorkQZ.sql"
    printf '[BASE]\nOPERATORE=%s\n[PATH]\nFILE=%s/\nWORK=%s/\n[AGENDA]\nSuonoSN=N\n' "$op" "$STORE" "$STORE" >"$STORE/popup.ini"
    DATA_DB="$STORE/$op/DatiQZ.mdb"
    VISITS_DB="$STORE/$op/VisiteQZ.mdb"
    WORK_DB="$STORE/$op/WorkQZ.mdb"
}

# A fingerprint of every row of the store, to prove that nothing changed.
store_dump() {
    sqlite3 "$DATA_DB" .dump
    sqlite3 "$VISITS_DB" .dump
    sqlite3 "$WORK_DB" .dump
}

# launch_popup COMMAND-TEXT: starts the pop-up in the background.
launch_popup() {
    "$REMINDER_POPUP" "$1" >"$E2E_TMP/popup.out" 2>"$E2E_TMP/popup.err" &
    E2E_POPUP_PID=$!
}

# stop_popup: ends the pop-up if it still runs and waits for it.
stop_popup() {
    [ -n "$E2E_POPUP_PID" ] || return 0
    kill "$E2E_POPUP_PID" 2>/dev/null || true
    wait "$E2E_POPUP_PID" 2>/dev/null || true
    E2E_POPUP_PID=""
}

# wait_window TITLE-REGEX: prints the id of the pop-up's window once it is mapped.
wait_window() {
    local id=""
    for _ in $(seq 1 400); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 || true)
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        kill -0 "$E2E_POPUP_PID" 2>/dev/null || fail "the pop-up ended before showing its window: $(cat "$E2E_TMP/popup.err")"
        sleep 0.05
    done
    fail "no window matching '$1'"
}

# wait_popup_end: waits (10 s at most) for the pop-up to end and sets POPUP_STATUS to its exit status.
wait_popup_end() {
    for _ in $(seq 1 200); do
        if ! kill -0 "$E2E_POPUP_PID" 2>/dev/null; then
            POPUP_STATUS=0
            wait "$E2E_POPUP_PID" || POPUP_STATUS=$?
            E2E_POPUP_PID=""
            return 0
        fi
        sleep 0.05
    done
    fail "the pop-up did not end"
}

# date_text SECONDS-FROM-NOW FORMAT
date_text() {
    date -d "@$(($(date +%s) + $1))" "+$2"
}

# store_snapshot DIR: a copy of the three database files in DIR, to be changed by hand into the expected state.
store_snapshot() {
    mkdir -p "$1"
    cp "$DATA_DB" "$1/DatiQZ.mdb"
    cp "$VISITS_DB" "$1/VisiteQZ.mdb"
    cp "$WORK_DB" "$1/WorkQZ.mdb"
}

# snapshot_dump DIR: every row of a snapshot, in the form store_dump gives for the live store.
snapshot_dump() {
    sqlite3 "$1/DatiQZ.mdb" .dump
    sqlite3 "$1/VisiteQZ.mdb" .dump
    sqlite3 "$1/WorkQZ.mdb" .dump
}

# epoch_of STORE-DATE-TIME: seconds since the epoch of a local 'YYYY-MM-DD HH:MM:SS' (fails on anything else).
epoch_of() {
    [[ "$1" =~ ^[0-9]{4}-[0-9]{2}-[0-9]{2}\ [0-9]{2}:[0-9]{2}:[0-9]{2}$ ]] || fail "'$1' is not a store date-time"
    date -d "$1" +%s
}

# write_silent_wave FILE: half a second of 16-bit mono silence, a complete RIFF/WAVE file the sound player takes.
write_silent_wave() {
    python3 -c '
import sys, wave
with wave.open(sys.argv[1], "wb") as w:
    w.setnchannels(1); w.setsampwidth(2); w.setframerate(8000); w.writeframes(bytes(8000))
' "$1"
}

# add_overdue_reminder [DOCUMENT]: client 57 "ROSSI SRL" >"ROSSI IMPIANTI", action MAN in red, and an appointment
# that fell due five minutes ago with its reminder (DOCUMENT attached, none when left out).
# Sets due_store (the stores' text) and due_line (the launch line's form).
add_overdue_reminder() {
    local document=NULL
    local quote="'"
    [ $# -ge 1 ] && document="$quote${1//$quote/$quote$quote}$quote"
    due_store=$(date_text -300 '%Y-%m-%d %H:%M:00')
    due_line=$(date -d "$due_store" '+%d/%m/%Y %H:%M:%S')
    sqlite3 "$DATA_DB" "INSERT INTO Clienti VALUES (57, 'ROSSI SRL', 'ROSSI IMPIANTI');"
    sqlite3 "$VISITS_DB" "INSERT INTO TabAzioni VALUES ('MAN', 'MANUTENZIONE', 255);
        INSERT INTO Appuntamenti VALUES (57, '$due_store', 'MAN', 'Controllo caldaia', 'VERIFICA', 30);"
    sqlite3 "$WORK_DB" "INSERT INTO Promemoria VALUES (57, '$due_store', 'MAN', $document, '$due_store', 'S');"
}
