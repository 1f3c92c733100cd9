# Shared by the fault-matrix tests: one fresh store per row, the operator's message read from the program's
# standard error (the box's text cannot be read from outside) together with the box's window title, and the
# checks every row ends with: exit status, files created or changed (and the server's rows), PRAGMA
# integrity_check of the files.
source "$(dirname "$0")/lib.sh"

# Files made immutable by a row are released before lib.sh removes the folder.
fault_cleanup() {
    local status=$?
    chattr -R -i "$E2E_TMP" 2>/dev/null || true
    e2e_cleanup "$status"
}
trap fault_cleanup EXIT

ROW=""
row() {
    ROW="$1"
    echo "--- $ROW"
}
row_fail() {
    fail "[$ROW] $*"
}
row_pass() {
    echo "PASS: $ROW"
}

# fault_store FOLDER OPERATOR: a fresh store in FOLDER (removed first), its settings file FOLDER/popup.ini
# (SETTINGS), one client, action, appointment due five minutes ago and its reminder; DUE_LINE is the
# appointment's time as the launcher writes it and TITLE the reminder window's exact title.
fault_store() {
    store_create "$1" "$2"
    add_overdue_reminder ""
    DUE_STORE=$due_store
    DUE_LINE=$due_line
    TITLE="APP. $due_title-VERIFICA"
    COMMAND="$SETTINGS|0|57|MAN|$DUE_LINE"
}

# Every file in the folders under the temporary folder (the top level holds the harness's own logs) with its
# checksum: any file created, removed or changed shows.
files_fingerprint() {
    (cd "$E2E_TMP" && find . -mindepth 2 -type f -not -path "./runtime/*" -print0 | LC_ALL=C sort -z | xargs -0 -r sha256sum)
}
# On the server, every table and row of the store as well.
fingerprint_before() {
    FINGERPRINT=$(files_fingerprint)
    STORE_DUMP=$(store_dump)
}
expect_files_unchanged() {
    [ "$(files_fingerprint)" = "$FINGERPRINT" ] ||
        row_fail "files created or changed: $(diff <(echo "$FINGERPRINT") <(files_fingerprint) | grep '^[<>]' | head -n 5)"
    if store_is_server; then
        [ "$(store_dump)" = "$STORE_DUMP" ] ||
            row_fail "the server's rows changed: $(diff <(echo "$STORE_DUMP") <(store_dump) | grep '^[<>]' | head -n 5)"
    fi
}
# For the rows whose actions write the appointment and the reminder (checked by the row itself): every other
# table, row, column and grant of the store is as fingerprint_before found it.
expect_others_unchanged() {
    local written='^INSERT INTO [^ ]*"?(Appuntamenti|Promemoria)"? VALUES'
    diff <(echo "$STORE_DUMP" | grep -vE "$written") <(store_dump | grep -vE "$written") >&2 ||
        row_fail "rows other than the action's changed"
}
# Only the names: for the rows whose store is meant to be written.
expect_no_new_files() {
    local before after
    before=$(echo "$FINGERPRINT" | sed 's/^[0-9a-f]*  //')
    after=$(files_fingerprint | sed 's/^[0-9a-f]*  //')
    [ "$after" = "$before" ] || row_fail "files created or removed: $(diff <(echo "$before") <(echo "$after") | grep '^[<>]')"
}

# expect_integrity DB...: PRAGMA integrity_check is "ok" on every database (opened read-only: never created).
expect_integrity() {
    local damage
    damage=$(store_damage "$@")
    [ -z "$damage" ] || row_fail "$damage"
}

# stderr_has_line LINE -F|-E: the pop-up printed exactly LINE on standard error (-E: a line matching the
# extended expression LINE), read without starting a process, as the waits look many times.
stderr_has_line() {
    local lines=() line
    [ -r "$E2E_TMP/popup.err" ] && mapfile -t lines <"$E2E_TMP/popup.err"
    for line in "${lines[@]}"; do
        if [ "$2" = -E ]; then
            [[ $line =~ ^($1)$ ]] && return 0
        else
            [ "$line" = "$1" ] && return 0
        fi
    done
    return 1
}

# wait_stderr_line LINE [-E]: waits until the pop-up printed exactly LINE on standard error (with -E: a line
# matching the extended expression LINE).
wait_stderr_line() {
    local how=${2:--F} i
    for ((i = 0; i < 400; i++)); do
        stderr_has_line "$1" "$how" && return 0
        kill -0 "$E2E_POPUP_PID" 2>/dev/null || break
        nap 0.05
    done
    stderr_has_line "$1" "$how" && return 0
    row_fail "no line '$1' on standard error; it holds: $(cat "$E2E_TMP/popup.err")"
}

# wait_box TITLE TEXT [-E]: the operator sees a box titled exactly TITLE with the text TEXT (line feeds as
# " | "; with -E, TEXT is an extended expression); sets BOX_ID to the box's window.
wait_box() {
    local title="$1" text="$2"
    if [ "${3:-}" = -E ]; then
        wait_stderr_line "reminder-popup: $title: $text" -E
    else
        wait_stderr_line "reminder-popup: $title: $text"
    fi
    BOX_ID=$("$X11_WAIT" shown "^$(regex_text "$title")\$" 2>/dev/null) || row_fail "no box titled '$title' on screen"
}

# regex_text TEXT: TEXT as an extended regular expression that matches it alone.
regex_text() {
    sed 's/[][\\.^$*+?(){}|]/\\&/g' <<<"$1"
}

# answer_box KEY: answers the box of wait_box (Return: the default button, OK or Riprova; Escape: Annulla, or
# OK) and waits until it is gone.
answer_box() {
    xdotool windowfocus --sync "$BOX_ID" key "$1"
    "$X11_WAIT" gone "$BOX_ID" 2>/dev/null || row_fail "the box stayed on screen after $1"
}

# expect_box TITLE TEXT KEY: wait_box, then answer_box.
expect_box() {
    wait_box "$1" "$2"
    answer_box "$3"
}

# box_count TEXT: how many times a box with TEXT was shown.
box_count() {
    grep -cxF -- "reminder-popup: ERRORE: $1" "$E2E_TMP/popup.err" || true
}

# expect_window_open WINDOW: once the pop-up has handled what came before, it still runs and WINDOW is still on
# screen.
expect_window_open() {
    "$X11_WAIT" idle "$1" 2>/dev/null || row_fail "the window is gone or no longer answers: $(cat "$E2E_TMP/popup.err")"
    kill -0 "$E2E_POPUP_PID" 2>/dev/null || row_fail "the pop-up ended: $(cat "$E2E_TMP/popup.err")"
    xdotool search --onlyvisible --name '^APP\. ' 2>/dev/null | grep -qx "$1" || row_fail "the window is gone"
}

# expect_end STATUS: the pop-up ends (10 s at most) with that exit status.
expect_end() {
    wait_popup_end
    [ "$POPUP_STATUS" = "$1" ] || row_fail "exit status $POPUP_STATUS, expected $1; stderr: $(cat "$E2E_TMP/popup.err")"
}

# expect_no_box: the pop-up showed no message box (the skipped-step diagnostics are no box).
expect_no_box() {
    if grep "^reminder-popup: " "$E2E_TMP/popup.err" | grep -qv " non eseguito: "; then
        row_fail "a message was shown: $(cat "$E2E_TMP/popup.err")"
    fi
}

# reminder_window: waits for the reminder window with the row's TITLE and prints its id.
reminder_window() {
    local id
    id=$(wait_window '^APP\. ')
    [ "$(xdotool getwindowname "$id")" = "$TITLE" ] || row_fail "window title '$(xdotool getwindowname "$id")', expected '$TITLE'"
    echo "$id"
}

# press WINDOW KEYS: keystrokes for the reminder window.
press() {
    xdotool windowfocus --sync "$1" key "$2"
}

# expect_load_error_and_end TEXT [-E]: the load error box with TEXT, answered with OK, then the program ends with
# status 0.
expect_load_error_and_end() {
    wait_box "Promemoria appuntamenti" "$1" "${2:-}"
    answer_box Return
    expect_end 0
}
