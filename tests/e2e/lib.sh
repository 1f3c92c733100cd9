# Shared by the end-to-end tests: a private X server, a store made from the project's layout files,
# and the real executable driven with xdotool.
set -euo pipefail

: "${REMINDER_POPUP:?path of the reminder-popup executable}"
: "${REMINDER_SOURCE_DIR:?path of the project}"
: "${X11_WAIT:?path of the x11_wait helper}"

E2E_TMP=$(mktemp -d)
E2E_POPUP_PID=""
# The harness starts its helpers hundreds of times a run: Debian's python3 is taken directly, not through a pyenv
# shim that may stand before it on PATH and costs more than the interpreter (PostgreSQL's programs: store_lib.sh).
mkdir "$E2E_TMP/tools"
[ -x /usr/bin/python3 ] && ln -s /usr/bin/python3 "$E2E_TMP/tools/python3"
PATH="$E2E_TMP/tools:$PATH"
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
    store_cleanup
    rm -rf "$E2E_TMP"
}
trap e2e_cleanup EXIT

# nap SECONDS: the pause of a poll that has no event to wait on, taken without starting a process: a read that
# times out on a pipe nobody writes to. Scripts run side by side, and a process per look adds up.
exec {E2E_NAP_FD}<> <(:)
nap() {
    read -r -t "$1" -u "$E2E_NAP_FD" _ || true
}

# now_ms: milliseconds since the epoch, without a process.
now_ms() {
    local now=${EPOCHREALTIME/[.,]/}
    echo $((now / 1000))
}

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

start_xserver() {
    start_private_xserver "$E2E_TMP" "$@"
}

source "$REMINDER_SOURCE_DIR/tests/e2e/store_lib.sh"

# make_store OPERATOR: an empty store for OPERATOR, its settings file $E2E_TMP/store/popup.ini.
make_store() {
    store_create "$E2E_TMP/store" "$1"
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
    local status=0
    "$X11_WAIT" shown "$1" ${E2E_POPUP_PID:+"$E2E_POPUP_PID"} 2>"$E2E_TMP/wait.err" || status=$?
    [ "$status" = 0 ] && return 0
    [ -n "$E2E_POPUP_PID" ] && ! kill -0 "$E2E_POPUP_PID" 2>/dev/null &&
        fail "the pop-up ended before showing its window: $(cat "$E2E_TMP/popup.err")"
    fail "no window matching '$1': $(cat "$E2E_TMP/wait.err")"
}

# wait_popup_end: waits (10 s at most) for the pop-up to end and sets POPUP_STATUS to its exit status.
wait_popup_end() {
    local i
    for ((i = 0; i < 200; i++)); do
        if ! kill -0 "$E2E_POPUP_PID" 2>/dev/null; then
            POPUP_STATUS=0
            wait "$E2E_POPUP_PID" || POPUP_STATUS=$?
            E2E_POPUP_PID=""
            return 0
        fi
        nap 0.05
    done
    fail "the pop-up did not end"
}

# date_text SECONDS-FROM-NOW FORMAT: local time in strftime's FORMAT, without a process.
date_text() {
    printf "%($2)T" "$((EPOCHSECONDS + $1))"
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
# that fell due five minutes ago (on the minute) with its reminder (DOCUMENT attached, none when left out).
# Sets due_store (the stores' text), due_line (the launch line's form) and due_title (the window title's).
add_overdue_reminder() {
    local document=NULL
    local quote="'"
    local due=$((EPOCHSECONDS - 300))
    [ $# -ge 1 ] && document="$quote${1//$quote/$quote$quote}$quote"
    due=$((due - due % 60))
    printf -v due_store '%(%Y-%m-%d %H:%M:%S)T' "$due"
    printf -v due_line '%(%d/%m/%Y %H:%M:%S)T' "$due"
    printf -v due_title '%(%d/%m %H:%M)T' "$due"
    store_sql_each "$DATA_DB" "INSERT INTO \"Clienti\" VALUES (57, 'ROSSI SRL', 'ROSSI IMPIANTI');" \
        "$VISITS_DB" "INSERT INTO \"TabAzioni\" VALUES ('MAN', 'MANUTENZIONE', 255);
            INSERT INTO \"Appuntamenti\" VALUES (57, '$due_store', 'MAN', 'Controllo caldaia', 'VERIFICA', 30);" \
        "$WORK_DB" "INSERT INTO \"Promemoria\" VALUES (57, '$due_store', 'MAN', $document, '$due_store', 'S');"
}
