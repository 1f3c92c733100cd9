#!/usr/bin/env bash
# The agenda watcher against the real pop-up, on a Promemoria laid out as the scheduling application may lay it out
# (its key columns named and placed otherwise): what is due at start is shown at once, what falls due later at its
# alarm even with a long interval, and on the files a row committed already due at once; a restarted watcher opens
# no second window; postponed comes back at the new alarm, stopped never, closed without an action after the
# repeat; a viewer the pop-up started does not hold its reminder back; rows without a readable alarm are told once;
# no more windows than the limit, the rest as windows end, each in the lowest free slot; a store that cannot be
# read is told once and when it is back; keys the launch line cannot carry are never launched and never split a log
# line; a pop-up that cannot reach its display is told once; the lock folder removed while the watcher runs is made
# again; two watchers reaching one settings file by two paths open one window each reminder; --check tells a sound
# store from one whose Promemoria has no key.
source "$(dirname "$0")/lib.sh"
: "${REMINDER_AGENDA:?path of the reminder-agenda executable}"
start_xserver
make_store "mario"
store_use_own_key_layout
AGENDA_PID=""
SECOND_PID=""
VIEWER_PID_FILE="$E2E_TMP/viewer.pid"
agenda_log="$E2E_TMP/agenda.log"
: >"$agenda_log"
stop_agenda() {
    local pid
    for pid in $AGENDA_PID $SECOND_PID; do
        kill -KILL "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    AGENDA_PID=""
    SECOND_PID=""
}
stop_viewer() {
    [ -s "$VIEWER_PID_FILE" ] && kill "$(cat "$VIEWER_PID_FILE")" 2>/dev/null
    rm -f "$VIEWER_PID_FILE"
}
# The pop-ups run in sessions of their own: they are ended by the windows they show.
close_all_windows() {
    local id
    for id in $(xdotool search --onlyvisible --name '^APP\. ' 2>/dev/null); do
        "$X11_CLOSE_WINDOW" "$id" >/dev/null 2>&1 || true
    done
}
# A pop-up holds its slot until it has ended, a while after its window closed (longer under the sanitizers): the
# next watcher must find every slot free.
wait_slots_free() {
    local file held
    for _ in $(seq 1 200); do
        held=no
        for file in "$XDG_RUNTIME_DIR"/reminder-agenda/*/*; do
            [ -e "$file" ] || continue
            flock -n -x "$file" true || { held=yes; break; }
        done
        [ "$held" = no ] && return 0
        nap 0.05
    done
    fail "a pop-up still holds its slot after its window closed"
}
trap 'status=$?; stop_agenda; stop_viewer; close_all_windows; e2e_cleanup $status' EXIT

# start_agenda MAX-WINDOWS INTERVAL [REPEAT [SETTINGS]]
start_agenda() {
    "$REMINDER_AGENDA" --interval "$2" --repeat "${3:-4}" --max-windows "$1" --popup "$REMINDER_POPUP" \
        "${4:-$SETTINGS}" 2>>"$agenda_log" &
    AGENDA_PID=$!
}
# wait_looks N: until the watcher has looked at least N more times. Every look reads the settings file afresh and
# a wait between looks reads nothing, so the watcher's read calls count its looks (a few each, N is a floor).
# The polls below read with the shell's builtins: a process per look, twenty times a second, adds up.
agenda_reads() {
    local key value
    while read -r key value; do
        [ "$key" = syscr: ] && { AGENDA_READS=$value; return 0; }
    done <"/proc/$AGENDA_PID/io"
    fail "no read count for the watcher"
}
wait_looks() {
    local target
    agenda_reads
    target=$((AGENDA_READS + 4 * $1))
    for _ in $(seq 1 400); do
        agenda_reads
        [ "$AGENDA_READS" -ge "$target" ] && return 0
        nap 0.05
    done
    fail "the watcher did not look again: $(cat "$agenda_log")"
}
store_sql "$DATA_DB" "INSERT INTO \"Clienti\" VALUES (57, 'ROSSI SRL', 'ROSSI IMPIANTI');"
store_sql "$VISITS_DB" "INSERT INTO \"TabAzioni\" VALUES ('MAN', 'MANUTENZIONE', 255);"
# add_reminder TAG APPOINTMENT-SECONDS ALARM-SECONDS [DOCUMENT] (from now): sets line_TAG, the date-time of its
# launch line, when_TAG, the store's, and key_TAG, the condition that finds its row.
add_reminder() {
    local when alarm document=NULL
    when=$(date_text "$2" '%Y-%m-%d %H:%M:%S')
    alarm=$(date_text "$3" '%Y-%m-%d %H:%M:%S')
    [ $# -ge 4 ] && document="'$(sql_text "$4")'"
    store_sql_each "$VISITS_DB" "INSERT INTO \"Appuntamenti\" VALUES (57, '$when', 'MAN', 'nota', '$1', 0);" \
        "$WORK_DB" "INSERT INTO \"Promemoria\" (\"PmWait\", \"$PM_ACTION\", \"PmAllarm\", \"$PM_CLIENT\", \"$PM_WHEN\", \"PmDocumento\")
            VALUES ('S', 'MAN', '$alarm', 57, '$when', $document);"
    printf -v "line_$1" '%s' "$(date -d "$when" '+%d/%m/%Y %H:%M:%S')"
    printf -v "when_$1" '%s' "$when"
    printf -v "key_$1" '%s' "\"$PM_CLIENT\" = 57 AND \"$PM_WHEN\" = '$when' AND \"$PM_ACTION\" = 'MAN'"
}
alarm_of() {
    local key="key_$1"
    epoch_of "$(store_sql "$WORK_DB" "SELECT \"PmAllarm\" FROM \"Promemoria\" WHERE ${!key}")"
}
# count_started TAG: sets STARTED to how many windows the watcher started for TAG's reminder.
count_started() {
    local line="line_$1" entry lines=()
    STARTED=0
    mapfile -t lines <"$agenda_log"
    for entry in "${lines[@]}"; do
        [[ $entry == *"finestra avviata"*"|57|MAN|${!line}"* ]] && STARTED=$((STARTED + 1))
    done
    return 0
}
started_count() {
    count_started "$1"
    echo "$STARTED"
}
# wait_started TAG COUNT: until the watcher has started COUNT windows for TAG (20 s at most); prints the moment.
wait_started() {
    for _ in $(seq 1 400); do
        count_started "$1"
        if [ "$STARTED" -ge "$2" ]; then
            echo "$EPOCHSECONDS"
            return 0
        fi
        kill -0 "$AGENDA_PID" 2>/dev/null || fail "the watcher ended: $(cat "$agenda_log")"
        nap 0.05
    done
    fail "no window number $2 for $1: $(cat "$agenda_log")"
}
# window_of TAG: the id of TAG's window once it is mapped (20 s at most).
window_of() {
    "$X11_WAIT" shown "^APP\\. .*-$1\$" 2>/dev/null || fail "no window for $1: $(cat "$agenda_log")"
}
# wait_window_gone TAG
wait_window_gone() {
    local id
    for id in $(xdotool search --onlyvisible --name "^APP\\. .*-$1\$" 2>/dev/null); do
        "$X11_WAIT" gone "$id" 2>/dev/null || fail "the window of $1 is still open"
    done
}
visible_windows() {
    xdotool search --onlyvisible --name '^APP\. ' 2>/dev/null | wc -l
}
# within SECONDS FROM TO WHAT: TO is at most SECONDS after FROM (and not before it).
within() {
    [ "$3" -ge "$2" ] && [ "$3" -le $(($2 + $1)) ] || fail "$4: $(($3 - $2)) s: $(cat "$agenda_log")"
}

# Due at start, and due in three seconds: with a look every 30 s, only the alarm's own timer shows B in time.
add_reminder A -600 -300
# What --check tells of a sound store: its key as found, what is due, the next alarm, the display, the pop-up.
add_reminder K 3000 3000
check_out=$("$REMINDER_AGENDA" --popup "$REMINDER_POPUP" --check "$SETTINGS") || fail "--check on a sound store: $check_out"
for words in "chiave di Promemoria: $PM_CLIENT, $PM_WHEN, $PM_ACTION" "promemoria in scadenza ora: 1" \
    "$SETTINGS|0|57|MAN|$line_A" "prossimo allarme: $(date -d "@$(alarm_of K)" '+%Y-%m-%d %H:%M:%S')" \
    "schermo: DISPLAY=$DISPLAY" "finestra: $REMINDER_POPUP (reminder-popup " "esito: le finestre possono comparire"; do
    grep -qF -- "$words" <<<"$check_out" || fail "--check lacks '$words': $check_out"
done
add_reminder B 600 3
b_due=$(alarm_of B)
start_agenda 20 30
wait_started A 1 >/dev/null
window_a=$(window_of A)
within 5 "$b_due" "$(wait_started B 1)" "B not shown within 5 s of its alarm"
window_b=$(window_of B)
grep -q "posto 0: $SETTINGS|0|57|MAN|$line_A" "$agenda_log" || fail "A not in slot 0: $(cat "$agenda_log")"
grep -q "posto 1: $SETTINGS|1|57|MAN|$line_B" "$agenda_log" || fail "B not in slot 1: $(cat "$agenda_log")"
# On the files a row the scheduling application commits already due is seen at once, long before the next look.
if ! store_is_server; then
    add_reminder G 700 -1
    within 5 "$(date +%s)" "$(wait_started G 1)" "G not shown within 5 s of its commit"
    window_g=$(window_of G)
    store_sql "$WORK_DB" "DELETE FROM \"Promemoria\" WHERE $key_G;"
    "$X11_CLOSE_WINDOW" "$window_g" >/dev/null
    wait_window_gone G
fi

# Killed and started again while both windows are open: C, due after the restart, shows that it looks again, and
# it takes slot 2, while A and B get no second window. From here on the windows ended are those of an earlier
# watcher, which only a look at the interval sees end.
stop_agenda
add_reminder C 900 2
start_agenda 20 1
wait_started C 1 >/dev/null
window_c=$(window_of C)
grep -q "posto 2: $SETTINGS|2|57|MAN|$line_C" "$agenda_log" || fail "C not in slot 2: $(cat "$agenda_log")"
[ "$(started_count A)" = 1 ] && [ "$(started_count B)" = 1 ] || fail "a second window after the restart: $(cat "$agenda_log")"

# C postponed by 15 minutes (Alt+P), A stopped (Alt+N), B closed without an action. C goes first: a window takes
# the focus when its own program has seen it mapped, which for the window mapped last may come after the test
# focused another one. Once C has taken its key and gone, no activation of its is left to come.
timeout 10 xdotool windowfocus --sync "$window_c" && xdotool key alt+p
wait_window_gone C
timeout 10 xdotool windowfocus --sync "$window_a" && xdotool key alt+n
"$X11_CLOSE_WINDOW" "$window_b" >/dev/null
b_closed=$(date +%s)
# Each window is waited for on its own: B comes back after the repeat, which on a busy machine may be before A's
# stop has been written and its window gone.
"$X11_WAIT" gone "$window_b" 2>/dev/null || fail "B's window still open after it was closed"
"$X11_WAIT" gone "$window_a" 2>/dev/null || fail "A's window still open after the stop"
[ -z "$(store_sql "$WORK_DB" "SELECT 1 FROM \"Promemoria\" WHERE $key_A")" ] || fail "A was not stopped"
[ "$(alarm_of C)" -gt $(($(date +%s) + 800)) ] || fail "C not postponed"
[ "$(wait_started B 2)" -ge $((b_closed + 4)) ] || fail "B came back before the repeat"
# The postponed alarm brought back to now stands for its time having come.
store_sql "$WORK_DB" "UPDATE \"Promemoria\" SET \"PmAllarm\" = '$(date_text 0 '%Y-%m-%d %H:%M:%S')' WHERE $key_C;"
wait_started C 2 >/dev/null
# Its window is waited for: a pop-up still loading when the table goes away below would stay behind with its box.
window_of C >/dev/null
[ "$(started_count A)" = 1 ] || fail "the stopped A came back"
stop_agenda
close_all_windows
wait_slots_free

# The document opened (Alt+D) in a viewer that stays open, then the reminder postponed (Alt+P): the viewer holds
# nothing of the pop-up's, so the reminder comes back at its new alarm, in the slot it left.
store_sql "$WORK_DB" "DELETE FROM \"Promemoria\";"
mkdir -p "$E2E_TMP/bin"
printf '#!/bin/sh\necho $$ >"%s"\nexec sleep 600\n' "$VIEWER_PID_FILE" >"$E2E_TMP/bin/xdg-open"
chmod +x "$E2E_TMP/bin/xdg-open"
echo "verbale" >"$E2E_TMP/verbale.txt"
add_reminder V 1500 -60 "$E2E_TMP/verbale.txt"
PATH="$E2E_TMP/bin:$PATH" start_agenda 20 1
wait_started V 1 >/dev/null
window_v=$(window_of V)
timeout 10 xdotool windowfocus --sync "$window_v" && xdotool key alt+d
for _ in $(seq 1 200); do
    [ -s "$VIEWER_PID_FILE" ] && break
    nap 0.05
done
[ -s "$VIEWER_PID_FILE" ] || fail "the document was not opened"
timeout 10 xdotool windowfocus --sync "$window_v" && xdotool key alt+p
wait_window_gone V
[ "$(alarm_of V)" -gt $(($(date +%s) + 800)) ] || fail "V not postponed"
store_sql "$WORK_DB" "UPDATE \"Promemoria\" SET \"PmAllarm\" = '$(date_text 0 '%Y-%m-%d %H:%M:%S')' WHERE $key_V;"
wait_started V 2 >/dev/null
# Waited for, as every window below: one still loading when the windows are closed would hold its slot.
window_of V >/dev/null
[ "$(grep -c "posto 0: $SETTINGS|0|57|MAN|$line_V" "$agenda_log")" = 2 ] || fail "V not back in slot 0: $(cat "$agenda_log")"
kill -0 "$(cat "$VIEWER_PID_FILE")" || fail "the viewer ended with the pop-up"
stop_viewer
stop_agenda
close_all_windows
wait_slots_free

# A Promemoria without a key: --check says so and ends with a status that is not 0.
grant=""
store_is_server && grant="GRANT SELECT ON \"Promemoria\" TO $E2E_PG_ROLE;"
store_sql "$WORK_DB" "ALTER TABLE \"Promemoria\" RENAME TO \"Altrove\";
    CREATE TABLE \"Promemoria\" AS SELECT * FROM \"Altrove\"; $grant"
status=0
check_out=$("$REMINDER_AGENDA" --popup "$REMINDER_POPUP" --check "$SETTINGS") || status=$?
[ "$status" = 2 ] && [[ $(tail -n 1 <<<"$check_out") == "esito: le finestre non possono comparire: archivio non leggibile" ]] &&
    grep -q "^archivio non leggibile: .*Promemoria" <<<"$check_out" || fail "--check without a key: $status: $check_out"
store_sql "$WORK_DB" "DROP TABLE \"Promemoria\";"

# The store cannot be read: told once however many looks fail, the watcher goes on, and says when the store is
# back. Rows without a readable alarm are told once each, the others shown; one mended is shown at the next look.
# Rows whose action code the launch line cannot carry (a blank at its end, a line break) are told once each, in one
# line, and never launched.
start_agenda 20 1
for _ in $(seq 1 100); do
    grep -q 'archivio non leggibile' "$agenda_log" && break
    nap 0.05
done
wait_looks 3
[ "$(grep -c 'archivio non leggibile' "$agenda_log")" = 1 ] || fail "the failing store not told once: $(cat "$agenda_log")"
store_sql "$WORK_DB" "ALTER TABLE \"Altrove\" RENAME TO \"Promemoria\"; DELETE FROM \"Promemoria\";"
add_reminder N 1300 0
store_sql "$WORK_DB" "UPDATE \"Promemoria\" SET \"PmAllarm\" = NULL WHERE $key_N;"
store_is_server || store_sql "$WORK_DB" "INSERT INTO \"Promemoria\" (\"$PM_CLIENT\", \"$PM_WHEN\", \"$PM_ACTION\", \"PmAllarm\")
    VALUES (58, 'ieri', 'MAN', '2000-01-01 00:00:00'), (60, '2000-01-01 10:00:00', 'MAN', 'domani alle 9');"
newline="char(10)"
store_is_server && newline="chr(10)"
store_sql "$WORK_DB" "INSERT INTO \"Promemoria\" (\"$PM_CLIENT\", \"$PM_WHEN\", \"$PM_ACTION\", \"PmAllarm\")
    VALUES (61, '2000-01-01 10:00:00', 'MAN ', '2000-01-01 00:00:00'),
        (62, '2000-01-01 10:00:00', 'MA' || $newline || 'FALSO', '2000-01-01 00:00:00');"
add_reminder D 1200 -1
wait_started D 1 >/dev/null
window_of D >/dev/null
wait_looks 3
grep -q 'archivio di nuovo leggibile' "$agenda_log" || fail "the store back not told: $(cat "$agenda_log")"
bad_rows=("57|$when_N|MAN|Null: PmAllarm è vuoto" "61|2000-01-01 10:00:00|MAN |2000-01-01 00:00:00: $PM_ACTION comincia"
    "62|2000-01-01 10:00:00|MA\\nFALSO|2000-01-01 00:00:00: $PM_ACTION contiene un carattere di controllo")
store_is_server || bad_rows+=("58|ieri|MAN|2000-01-01 00:00:00: $PM_WHEN non è" "60|2000-01-01 10:00:00|MAN|domani alle 9: PmAllarm non è")
for bad in "${bad_rows[@]}"; do
    [ "$(grep -cF "promemoria ignorato, $bad" "$agenda_log")" = 1 ] || fail "'$bad' not told once: $(cat "$agenda_log")"
done
! grep -q -e '^FALSO' -e 'finestra avviata.*|6[12]|' "$agenda_log" || fail "an action code launched or a line split: $(cat "$agenda_log")"
store_sql "$WORK_DB" "UPDATE \"Promemoria\" SET \"PmAllarm\" = '$(date_text 0 '%Y-%m-%d %H:%M:%S')' WHERE $key_N;"
wait_started N 1 >/dev/null
window_of N >/dev/null
stop_agenda
close_all_windows
wait_slots_free

# A pop-up that cannot reach its display (a number no X server of the tests takes) is told once, naming its
# reminder, however many times it is tried again at the repeat.
store_sql "$WORK_DB" "DELETE FROM \"Promemoria\";"
add_reminder X 1400 -1
DISPLAY=:60999 start_agenda 20 30 1
wait_started X 3 >/dev/null
ended=$(grep -F "$SETTINGS|0|57|MAN|$line_X" "$agenda_log" | grep -c "finestra terminata") || true
[ "$ended" = 1 ] || fail "the pop-up without a display not told once: $(cat "$agenda_log")"
stop_agenda

# The lock folder removed while the watcher runs: the reminder that falls due next gets its window within
# seconds, made in a folder made again, and the window open before gets no second one.
store_sql "$WORK_DB" "DELETE FROM \"Promemoria\";"
add_reminder R1 1600 -1
start_agenda 20 1
wait_started R1 1 >/dev/null
window_of R1 >/dev/null
rm -r "$XDG_RUNTIME_DIR/reminder-agenda"
add_reminder R2 1700 -1
within 5 "$(date +%s)" "$(wait_started R2 1)" "R2 not shown within 5 s with the lock folder gone"
window_of R2 >/dev/null
wait_looks 3
[ "$(started_count R1)" = 1 ] && [ "$(started_count R2)" = 1 ] && [ "$(visible_windows)" = 2 ] ||
    fail "a second window after the lock folder went: $(cat "$agenda_log")"
stop_agenda
close_all_windows
wait_slots_free

# Two watchers of one settings file, one through a link to it: one window each reminder.
store_sql "$WORK_DB" "DELETE FROM \"Promemoria\";"
ln -s "$SETTINGS" "$E2E_TMP/impostazioni.ini"
add_reminder W1 1800 -1
add_reminder W2 1900 -1
start_agenda 20 1 4 "$E2E_TMP/impostazioni.ini"
SECOND_PID=$AGENDA_PID
start_agenda 20 1
wait_started W1 1 >/dev/null
wait_started W2 1 >/dev/null
window_of W1 >/dev/null
window_of W2 >/dev/null
wait_looks 3
[ "$(started_count W1)" = 1 ] && [ "$(started_count W2)" = 1 ] || fail "two windows for one reminder: $(cat "$agenda_log")"
stop_agenda
close_all_windows
wait_slots_free

# Six due, at most three windows: the first three in due order, the fourth in the slot that the first frees, as
# soon as its pop-up ends, without waiting for a look at the interval.
store_sql "$WORK_DB" "DELETE FROM \"Promemoria\";"
for i in 1 2 3 4 5 6; do
    add_reminder "F$i" $((2000 + i)) $((-100 + i))
done
start_agenda 3 30
wait_started F3 1 >/dev/null
# Each window waited for as it maps: three pop-ups starting at once take a while on a busy machine.
for i in 1 2 3; do
    window_of "F$i" >/dev/null
done
[ "$(visible_windows)" = 3 ] || fail "$(visible_windows) windows instead of 3"
[ "$(started_count F4)" = 0 ] || fail "a fourth window while three were open"
"$X11_CLOSE_WINDOW" "$(window_of F1)" >/dev/null
wait_started F4 1 >/dev/null
grep -q "posto 0: $SETTINGS|0|57|MAN|$line_F4" "$agenda_log" || fail "F4 not in the freed slot 0: $(cat "$agenda_log")"
[ "$(started_count F5)" = 0 ] || fail "F5 started beyond the limit"
echo "PASS: $(grep -c 'finestra avviata' "$agenda_log") windows started"
