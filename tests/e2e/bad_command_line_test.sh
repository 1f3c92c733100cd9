#!/usr/bin/env bash
# A fifth field that is not a date is an error nothing catches: one message with its number and description,
# then the program ends with a non-zero status, having touched no file.
source "$(dirname "$0")/lib.sh"
start_xserver
make_store "mario"
before=$(store_dump)

launch_popup "$STORE/popup.ini|0|57|MAN|domani mattina"
box=$(wait_window '^Promemoria appuntamenti$')
grep -q "Errore di run-time '13': Tipo non corrispondente" "$E2E_TMP/popup.err" ||
    fail "standard error was: $(cat "$E2E_TMP/popup.err")"
xdotool windowfocus --sync "$box" key Return
wait_popup_end
[ "$POPUP_STATUS" = 1 ] || fail "exit status $POPUP_STATUS"
[ "$(store_dump)" = "$before" ] || fail "the store changed"
echo "PASS: unhandled type mismatch reported and the program ended with status 1"
