#!/usr/bin/env bash
# Fault matrix, the settings: a settings file the program may not read ends it silently; one written in
# Windows-1252 with an accented operator name finds its folders; blanks, "#", "%", "?" and accented letters
# in the settings path, the folders and the operator name reach the right files.
source "$(dirname "$0")/fault_lib.sh"
start_xserver

# postpone_and_check: the reminder window of the row, postponed, ends with status 0 having written its row.
postpone_and_check() {
    fingerprint_before
    launch_popup "$COMMAND"
    window=$(reminder_window)
    press "$window" alt+p
    expect_end 0
    expect_no_box
    [ "$(store_sql "$WORK_DB" "SELECT '[' || \"PmWait\" || ']' FROM \"Promemoria\"")" = "[ ]" ] || row_fail "the reminder was not postponed"
    [ "$(store_sql "$VISITS_DB" "SELECT count(*) FROM \"Appuntamenti\" WHERE \"ApAllarm\" != 30")" = 1 ] || row_fail "the appointment was not written"
    expect_no_new_files
    expect_integrity "$DATA_DB" "$VISITS_DB" "$WORK_DB"
}

row "settings file unreadable: the program ends at once, silently, with status 0"
fault_store "$E2E_TMP/store" "mario"
# Root reads any file: the program runs as an unprivileged user, who may reach the file but not read it.
chmod 711 "$E2E_TMP" "$STORE"
chmod 000 "$SETTINGS"
fingerprint_before
as_nobody() {
    (unset DISPLAY && setpriv --reuid=65534 --regid=65534 --clear-groups "$REMINDER_POPUP" "$@")
}
status=0
out=$(as_nobody "$COMMAND" 2>&1) || status=$?
[ "$status" = 0 ] || row_fail "status $status: $out"
[ -z "$out" ] || row_fail "output: $out"
expect_files_unchanged
# The same file made readable is read: the program goes on towards its window, which cannot open without a display.
chmod 644 "$SETTINGS"
status=0
out=$(as_nobody "$COMMAND" 2>&1) || status=$?
[ "$status" != 0 ] && [[ "$out" == *display* ]] || row_fail "the readable settings file was not read either: $status $out"
chmod 700 "$E2E_TMP"
row_pass

row "settings in Windows-1252 with an accented operator name and folder: the folders are found"
fault_store "$E2E_TMP/Archivio città" "Niccolò"
{ settings_text "Niccolò" "$STORE" && printf '[AGENDA]\nSuonoSN=N\n'; } |
    iconv -f UTF-8 -t WINDOWS-1252 >"$SETTINGS"
grep -q $'Niccol\xf2' "$SETTINGS" || row_fail "the settings file is not in Windows-1252"
postpone_and_check
row_pass

row "settings path, folder and operator name with blanks, #, %, ? and accented letters"
fault_store "$E2E_TMP/dati #1 %20 ?è" "Niccolò #2 %41 ?"
mv "$SETTINGS" "$STORE/pop up #%3F ?è.ini"
SETTINGS="$STORE/pop up #%3F ?è.ini"
COMMAND="$SETTINGS|0|57|MAN|$DUE_LINE"
postpone_and_check
row_pass

# The settings reader ends a value at " ;", so the semicolon follows the quote with no blank.
row "operator name with a quote, a double quote, a semicolon and blanks"
fault_store "$E2E_TMP/store" "O'Neil \"x\"; y"
postpone_and_check
row_pass
