#!/usr/bin/env bash
# The audio stack is loaded only for a sound: a reminder without sound never maps Qt Multimedia, and one with a
# playable sound file loads the sound module next to the executable (a missing module would turn every sound
# into a plain beep without any other sign).
source "$(dirname "$0")/lib.sh"
start_xserver
make_store DEMO

add_overdue_reminder

# mapped PATTERN: true when the running pop-up has a file matching PATTERN mapped.
mapped() {
    grep -q -- "$1" "/proc/$E2E_POPUP_PID/maps"
}

# launch_until_alerted: starts the pop-up and returns once its window is up and it has given its alerts: the
# sound, if any, comes first, then ten beeps.
launch_until_alerted() {
    local ready=""
    coproc BELLS { exec "$X11_WAIT" bells 10; }
    read -r -t 10 ready <&"${BELLS[0]}" || true
    [ "$ready" = ready ] || fail "the bell listener did not start"
    launch_popup "$STORE/popup.ini|0|57|MAN|$due_line"
    window=$(wait_window '^APP\. ')
    wait "$BELLS_PID" || fail "the pop-up did not beep ten times: $(cat "$E2E_TMP/popup.err")"
}

launch_until_alerted
mapped 'libQt6Multimedia' && fail "Qt Multimedia was loaded for a reminder without sound"
mapped 'reminder-popup-sound' && fail "the sound module was loaded for a reminder without sound"
"$X11_CLOSE_WINDOW" "$window"
wait_popup_end
[ "$POPUP_STATUS" = 0 ] || fail "exit status $POPUP_STATUS without sound"

write_silent_wave "$STORE/avviso.wav"
printf '[BASE]\nOPERATORE=DEMO\n[PATH]\nFILE=%s/\nWORK=%s/\n[AGENDA]\nSuonoSN=S\nSuonoPath=%s/\nSuonoFile=avviso\nSuonoExt=wav\n' \
    "$STORE" "$STORE" "$STORE" >"$STORE/popup.ini"

launch_until_alerted
mapped 'reminder-popup-sound' || fail "the sound module was not loaded for a playable sound"
mapped 'libQt6Multimedia' || fail "the sound module did not bring Qt Multimedia"
"$X11_CLOSE_WINDOW" "$window"
wait_popup_end
[ "$POPUP_STATUS" = 0 ] || fail "exit status $POPUP_STATUS with sound"
# A program installed without its sound module still shows the reminder and beeps, and says why on standard error.
mkdir "$E2E_TMP/bin"
cp "$REMINDER_POPUP" "$E2E_TMP/bin/reminder-popup"
REMINDER_POPUP="$E2E_TMP/bin/reminder-popup" launch_until_alerted
grep -q '^reminder-popup: suono non disponibile, solo segnale acustico: ' "$E2E_TMP/popup.err" ||
    fail "no word of the missing sound module: $(cat "$E2E_TMP/popup.err")"
mapped 'libQt6Multimedia' && fail "Qt Multimedia was loaded without the sound module"
"$X11_CLOSE_WINDOW" "$window"
wait_popup_end
[ "$POPUP_STATUS" = 0 ] || fail "exit status $POPUP_STATUS without the sound module"
echo "PASS: no audio stack without sound, sound module loaded for a playable sound, a missing module reported"
