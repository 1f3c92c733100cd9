#!/usr/bin/env bash
# The Debian package: it builds from the test's own build tree, declares what it needs, holds the program, its
# sound module, the layout files and the manual page, and the program unpacked into a scratch root runs.
source "$(dirname "$0")/lib.sh"
: "${REMINDER_BUILD_DIR:?path of the build tree}"

packages="$E2E_TMP/packages"
cpack --config "$REMINDER_BUILD_DIR/CPackConfig.cmake" -B "$packages" >"$E2E_TMP/cpack.log" 2>&1 ||
    fail "cpack: $(tail -n 20 "$E2E_TMP/cpack.log")"
debs=("$packages"/*.deb)
[ ${#debs[@]} = 1 ] && [ -f "${debs[0]}" ] || fail "expected one package, found: ${debs[*]}"
deb=${debs[0]}

depends=$(dpkg-deb --field "$deb" Depends)
for needed in libqt6widgets6 libqt6gui6 libsqlite3-0 libfontconfig1 libqt6multimedia6 fonts-liberation; do
    grep -q "\b$needed\b" <<<"$depends" || fail "Depends lacks $needed: $depends"
done
[ "$(dpkg-deb --field "$deb" Package)" = reminder-popup ] || fail "package name"

contents=$(dpkg-deb --contents "$deb" | awk '{ print $NF }')
for path in ./usr/bin/reminder-popup ./usr/lib/reminder-popup/reminder-popup-sound.so \
    ./usr/share/man/man1/reminder-popup.1.gz ./usr/share/reminder-popup/layout/DatiQZ.sql \
    ./usr/share/reminder-popup/layout/VisiteQZ.sql ./usr/share/reminder-popup/layout/WorkQZ.sql; do
    grep -qx -- "$path" <<<"$contents" || fail "the package lacks $path"
done

root="$E2E_TMP/root"
dpkg -x "$deb" "$root"
installed="$root/usr/bin/reminder-popup"
[ -x "$installed" ] || fail "no executable after dpkg -x"

# The silent end: settings that cannot be read end the program at once, with nothing shown or printed.
unset DISPLAY
status=0
out=$("$installed" "$E2E_TMP/non-esiste.ini|0|57|MAN|01/01/2026 10:00" 2>&1) || status=$?
[ "$status" = 0 ] || fail "the installed program ended with status $status"
[ -z "$out" ] || fail "the installed program printed: $out"

# The installed layout files make a store the installed program opens and shows; with a sound to play, it loads
# the sound module from the installed library folder, not from the build tree.
make_store "mario"
for db in "$DATA_DB" "$VISITS_DB" "$WORK_DB"; do
    rm -f "$db"
    sqlite3 "$db" <"$root/usr/share/reminder-popup/layout/$(basename "$db" .mdb).sql" || fail "layout of $db"
done
add_overdue_reminder
write_silent_wave "$STORE/avviso.wav"
printf '[BASE]\nOPERATORE=mario\n[PATH]\nFILE=%s/\nWORK=%s/\n[AGENDA]\nSuonoSN=S\nSuonoPath=%s/\nSuonoFile=avviso\n' \
    "$STORE" "$STORE" "$STORE" >"$STORE/popup.ini"

start_xserver
REMINDER_POPUP=$installed launch_popup "$STORE/popup.ini|0|57|MAN|$due_line"
window=$(wait_window '^APP\. ')
module="$root/usr/lib/reminder-popup/reminder-popup-sound.so"
for _ in $(seq 1 100); do
    grep -qF -- "$module" "/proc/$E2E_POPUP_PID/maps" && break
    sleep 0.05
done
grep -qF -- "$module" "/proc/$E2E_POPUP_PID/maps" || fail "the installed program did not load $module"
"$X11_CLOSE_WINDOW" "$window"
wait_popup_end
[ "$POPUP_STATUS" = 0 ] || fail "the installed program ended with status $POPUP_STATUS: $(cat "$E2E_TMP/popup.err")"

# The manual page is well formed: man renders it without a warning.
warnings=$(MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/reminder-popup.1.gz" 2>&1 >/dev/null || true)
[ -z "$warnings" ] || fail "manual page warnings: $warnings"
echo "PASS: $(basename "$deb") installs into a scratch root and runs"
