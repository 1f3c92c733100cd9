#!/usr/bin/env bash
# The Debian package: it builds from the test's own build tree, lintian finds no error and no warning in it, it
# declares what it needs, holds the program, its sound module, the layout files, the manual page, the copyright
# file and the changelog, carries the project's version everywhere, and the program unpacked into a scratch root
# runs.
source "$(dirname "$0")/lib.sh"
: "${REMINDER_BUILD_DIR:?path of the build tree}"

packages="$E2E_TMP/packages"
cpack --config "$REMINDER_BUILD_DIR/CPackConfig.cmake" -B "$packages" >"$E2E_TMP/cpack.log" 2>&1 ||
    fail "cpack: $(tail -n 20 "$E2E_TMP/cpack.log")"
debs=("$packages"/*.deb)
[ ${#debs[@]} = 1 ] && [ -f "${debs[0]}" ] || fail "expected one package, found: ${debs[*]}"
deb=${debs[0]}

# Informational tags may stay; errors and warnings may not. lintian's status says only whether it found errors.
command -v lintian >/dev/null || fail "lintian is not installed (scripts/setup.sh installs it)"
lintian_out=$(lintian "$deb" 2>&1) || true
if grep -E '^[EW]: ' <<<"$lintian_out" >/dev/null; then
    fail "lintian: $lintian_out"
fi

depends=$(dpkg-deb --field "$deb" Depends)
for needed in libqt6widgets6 libqt6gui6 libsqlite3-0 libfontconfig1 libqt6multimedia6 fonts-liberation; do
    grep -q "\b$needed\b" <<<"$depends" || fail "Depends lacks $needed: $depends"
done
[ "$(dpkg-deb --field "$deb" Package)" = reminder-popup ] || fail "package name"

contents=$(dpkg-deb --contents "$deb" | awk '{ print $NF }')
for path in ./usr/bin/reminder-popup ./usr/lib/reminder-popup/reminder-popup-sound.so ./usr/bin/reminder-agenda \
    ./usr/share/man/man1/reminder-agenda.1.gz ./usr/lib/systemd/user/reminder-agenda@.service \
    ./etc/xdg/autostart/reminder-agenda.desktop \
    ./usr/share/man/man1/reminder-popup.1.gz ./usr/share/reminder-popup/layout/DatiQZ.sql \
    ./usr/share/reminder-popup/layout/VisiteQZ.sql ./usr/share/reminder-popup/layout/WorkQZ.sql \
    ./usr/share/doc/reminder-popup/copyright ./usr/share/doc/reminder-popup/changelog.gz; do
    grep -qx -- "$path" <<<"$contents" || fail "the package lacks $path"
done

root="$E2E_TMP/root"
dpkg -x "$deb" "$root"
installed="$root/usr/bin/reminder-popup"
[ -x "$installed" ] || fail "no executable after dpkg -x"

# The version written in the project reaches the package, the program and the manual page.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$REMINDER_BUILD_DIR/CMakeCache.txt")
[ -n "$version" ] || fail "no project version in $REMINDER_BUILD_DIR/CMakeCache.txt"
[ "$(dpkg-deb --field "$deb" Version)" = "$version" ] || fail "package version $(dpkg-deb --field "$deb" Version)"
[ "$("$installed" --version)" = "reminder-popup $version" ] || fail "--version printed: $("$installed" --version)"
zgrep -q "^\.TH .*reminder-popup $version" "$root/usr/share/man/man1/reminder-popup.1.gz" || fail "manual page version"
[ "$("$root/usr/bin/reminder-agenda" --version)" = "reminder-agenda $version" ] || fail "reminder-agenda --version"
! ldd "$root/usr/bin/reminder-agenda" | grep -q 'libQt6\(Gui\|Widgets\)' || fail "reminder-agenda links the window's Qt"
help=$("$installed" --help) || fail "--help ended with status $?"
for words in 'Uso: reminder-popup "IMPOSTAZIONI|POSTO|CLIENTE|INTERVENTO|GG/MM/AAAA HH:MM:SS"' '--version' \
    'man reminder-popup'; do
    grep -qF -- "$words" <<<"$help" || fail "--help lacks '$words': $help"
done

# The silent end: settings that cannot be read end the program at once, with nothing shown or printed. An option
# with anything after it, in the same argument or in the next, is such a launch request too.
unset DISPLAY
silent_end() {
    local status=0 out
    out=$("$installed" "$@" 2>&1) || status=$?
    [ "$status" = 0 ] && [ -z "$out" ] || fail "reminder-popup $* ended with status $status and printed: $out"
}
silent_end "$E2E_TMP/non-esiste.ini|0|57|MAN|01/01/2026 10:00"
silent_end "--help extra"
silent_end --help extra
silent_end --version --help

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
    nap 0.05
done
grep -qF -- "$module" "/proc/$E2E_POPUP_PID/maps" || fail "the installed program did not load $module"
"$X11_CLOSE_WINDOW" "$window"
wait_popup_end
[ "$POPUP_STATUS" = 0 ] || fail "the installed program ended with status $POPUP_STATUS: $(cat "$E2E_TMP/popup.err")"

# The autostart entry is valid as desktops read it, and the user unit as systemd reads it, with the program and its
# manual page where a package puts them: in a mount namespace of the test's own, over empty folders of
# /usr/local, so that the machine itself is left alone.
validation=$(desktop-file-validate "$root/etc/xdg/autostart/reminder-agenda.desktop" 2>&1) ||
    fail "desktop-file-validate: $validation"
units="$E2E_TMP/units"
mkdir -p "$units"
unit="$units/reminder-agenda@$(systemd-escape --path /home/mario/agenda.ini).service"
cp "$root/usr/lib/systemd/user/reminder-agenda@.service" "$unit"
verification=$(unshare -m sh -ec '
    mount -t tmpfs none /usr/local/bin && cp "$1/usr/bin/reminder-agenda" /usr/local/bin/
    mkdir -p /usr/local/share/man && mount -t tmpfs none /usr/local/share/man && mkdir /usr/local/share/man/man1
    cp "$1/usr/share/man/man1/reminder-agenda.1.gz" /usr/local/share/man/man1/
    systemd-analyze verify --user "$2"' sh "$root" "$unit" 2>&1) || fail "systemd-analyze verify: $verification"

# The autostart entry runs where a session manager starts it and where systemd's autostart generator makes a unit
# of it (KDE Plasma and others): the command needs no escaping, and without the operator's settings file it ends at
# once with status 0, a failure for no one. The installed program is found on PATH, as the generator finds it.
home="$E2E_TMP/home"
mkdir -p "$home" "$E2E_TMP/generated"
# run_command LINE: runs a command line as both start it, split on blanks: it must need no quoting.
run_command() {
    local words status=0 out
    [[ $1 != *[\\\"\'\$]* ]] || fail "the command needs escaping: $1"
    read -ra words <<<"$1"
    out=$(env -u XDG_CONFIG_HOME HOME="$home" PATH="$root/usr/bin:$PATH" "${words[@]}" 2>&1) || status=$?
    [ "$status" = 0 ] || fail "'$1' without a settings file ended with status $status: $out"
}
run_command "$(sed -n 's/^Exec=//p' "$root/etc/xdg/autostart/reminder-agenda.desktop")"
generator=/usr/lib/systemd/user-generators/systemd-xdg-autostart-generator
[ -x "$generator" ] || fail "no $generator (scripts/setup.sh installs systemd)"
generated=$(env -u XDG_CONFIG_HOME HOME="$home" XDG_CONFIG_DIRS="$root/etc/xdg" PATH="$root/usr/bin:$PATH" \
    "$generator" "$E2E_TMP/generated" "$E2E_TMP/generated" "$E2E_TMP/generated" 2>&1) || fail "the generator: $generated"
for made in "$E2E_TMP/generated"/*.service; do
    [ -e "$made" ] || continue
    grep -qF "SourcePath=$root/etc/xdg/autostart/reminder-agenda.desktop" "$made" || continue
    command=$(sed -n 's/^ExecStart=[-:@+!]*//p' "$made")
    [ -n "$command" ] || fail "no command in the generated $made"
    run_command "$command"
done

# The manual page is well formed: man renders it without a warning.
for page in reminder-popup reminder-agenda; do
    warnings=$(MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null || true)
    [ -z "$warnings" ] || fail "manual page $page warnings: $warnings"
done
echo "PASS: $(basename "$deb") installs into a scratch root and runs"
