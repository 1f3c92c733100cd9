#!/usr/bin/env bash
# Unusable settings end the program at once: status 0, no window, nothing printed, nothing written.
source "$(dirname "$0")/lib.sh"
make_store "mario"
unset DISPLAY
printf '[BASE]\nNOME=mario\n' >"$E2E_TMP/senza-operatore.ini"

check_silent() {
    local out status=0
    out=$("$REMINDER_POPUP" "$@" 2>&1) || status=$?
    [ "$status" = 0 ] || fail "status $status for '$*'"
    [ -z "$out" ] || fail "output for '$*': $out"
}

listing_before=$(ls -laR "$E2E_TMP/store")
check_silent
check_silent "$E2E_TMP/non-esiste.ini|0|57|MAN|01/01/2026 10:00"
check_silent "$E2E_TMP/senza-operatore.ini|0|57|MAN|01/01/2026 10:00"
check_silent "   |1|2"
[ "$(ls -laR "$E2E_TMP/store")" = "$listing_before" ] || fail "a file was created or changed"
echo "PASS: silent end in every unusable case"
