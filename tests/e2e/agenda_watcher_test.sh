#!/usr/bin/env bash
# The agenda watcher against the real pop-up, with a one-second interval: what is due at start is shown at once,
# what falls due later when it does and not before; a restarted watcher opens no second window; postponed comes
# back at the new alarm, stopped never, closed without an action after the repeat; no more windows than the limit,
# the rest as windows end, each in the lowest free slot; a store that cannot be read is waited out.
source "$(dirname "$0")/lib.sh"
: "${REMINDER_AGENDA:?path of the reminder-agenda executable}"
start_xserver
make_store "mario"
AGENDA_PID=""
agenda_log="$E2E_TMP/agenda.log"
: >"$agenda_log"
stop_agenda() {
    [ -n "$AGENDA_PID" ] || return 0
    kill -KILL "$AGENDA_PID" 2>/dev/null || true
    wait "$AGENDA_PID" 2>/dev/null || true
    AGENDA_PID=""
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
        sleep 0.05
    done
    fail "a pop-up still holds its slot after its window closed"
}
trap 'status=$?; stop_agenda; close_all_windows; e2e_cleanup $status' EXIT

start_agenda() {
    "$REMINDER_AGENDA" --interval 1 --repeat 4 --max-windows "$1" --popup "$REMINDER_POPUP" "$SETTINGS" 2>>"$agenda_log" &
    AGENDA_PID=$!
}
store_sql "$DATA_DB" "INSERT INTO \"Clienti\" VALUES (57, 'ROSSI SRL', 'ROSSI IMPIANTI');"
store_sql "$VISITS_DB" "INSERT INTO \"TabAzioni\" VALUES ('MAN', 'MANUTENZIONE', 255);"
# add_reminder TAG APPOINTMENT-SECONDS ALARM-SECONDS (from now): sets line_TAG, the date-time of its launch line.
add_reminder() {
    local when alarm
    when=$(date_text "$2" '%Y-%m-%d %H:%M:%S')
    alarm=$(date_text "$3" '%Y-%m-%d %H:%M:%S')
    store_sql "$VISITS_DB" "INSERT INTO \"Appuntamenti\" VALUES (57, '$when', 'MAN', 'nota', '$1', 0);"
    store_sql "$WORK_DB" "INSERT INTO \"Promemoria\" VALUES (57, '$when', 'MAN', NULL, '$alarm', 'S');"
    printf -v "line_$1" '%s' "$(date -d "$when" '+%d/%m/%Y %H:%M:%S')"
    printf -v "key_$1" '%s' "\"PmCliente\" = 57 AND \"PmData\" = '$when' AND \"PmAzione\" = 'MAN'"
}
# started_count TAG: how many windows the watcher started for TAG's reminder.
started_count() {
    local line="line_$1"
    grep -cF "|57|MAN|${!line}" <(grep 'finestra avviata' "$agenda_log") || true
}
# wait_started TAG COUNT: until the watcher has started COUNT windows for TAG (20 s at most); prints the moment.
wait_started() {
    for _ in $(seq 1 400); do
        if [ "$(started_count "$1")" -ge "$2" ]; then
            date +%s
            return 0
        fi
        kill -0 "$AGENDA_PID" 2>/dev/null || fail "the watcher ended: $(cat "$agenda_log")"
        sleep 0.05
    done
    fail "no window number $2 for $1: $(cat "$agenda_log")"
}
# window_of TAG: the id of TAG's window once it is mapped (20 s at most).
window_of() {
    local id
    for _ in $(seq 1 400); do
        id=$(xdotool search --onlyvisible --name "^APP\\. .*-$1\$" 2>/dev/null | head -n 1 || true)
        [ -n "$id" ] && echo "$id" && return 0
        sleep 0.05
    done
    fail "no window for $1: $(cat "$agenda_log")"
}
visible_windows() {
    xdotool search --onlyvisible --name '^APP\. ' 2>/dev/null | wc -l
}

# Due at start, and due in three seconds.
add_reminder A -600 -300
add_reminder B 600 3
b_due=$(epoch_of "$(store_sql "$WORK_DB" "SELECT \"PmAllarm\" FROM \"Promemoria\" WHERE $key_B")")
start_agenda 20
wait_started A 1 >/dev/null
window_a=$(window_of A)
[ "$(wait_started B 1)" -ge "$b_due" ] || fail "B was shown before it was due"
window_b=$(window_of B)
grep -q "posto 0: $SETTINGS|0|57|MAN|$line_A" "$agenda_log" || fail "A not in slot 0: $(cat "$agenda_log")"
grep -q "posto 1: $SETTINGS|1|57|MAN|$line_B" "$agenda_log" || fail "B not in slot 1: $(cat "$agenda_log")"

# Killed and started again while both windows are open: C, due after the restart, shows that it looks again, and
# it takes slot 2, while A and B get no second window.
stop_agenda
add_reminder C 900 2
start_agenda 20
wait_started C 1 >/dev/null
window_c=$(window_of C)
grep -q "posto 2: $SETTINGS|2|57|MAN|$line_C" "$agenda_log" || fail "C not in slot 2: $(cat "$agenda_log")"
[ "$(started_count A)" = 1 ] && [ "$(started_count B)" = 1 ] || fail "a second window after the restart: $(cat "$agenda_log")"

# C postponed by 15 minutes (Alt+P), A stopped (Alt+N), B closed without an action. C goes first: a window takes
# the focus when its own program has seen it mapped, which for the window mapped last may come after the test
# focused another one. Once C has taken its key and gone, no activation of its is left to come.
timeout 10 xdotool windowfocus --sync "$window_c" && xdotool key alt+p
for _ in $(seq 1 200); do
    xdotool search --onlyvisible --name "^APP\\. .*-C\$" >/dev/null 2>&1 || break
    sleep 0.05
done
timeout 10 xdotool windowfocus --sync "$window_a" && xdotool key alt+n
"$X11_CLOSE_WINDOW" "$window_b" >/dev/null
b_closed=$(date +%s)
for _ in $(seq 1 200); do
    [ "$(visible_windows)" = 0 ] && break
    sleep 0.05
done
[ "$(visible_windows)" = 0 ] || fail "windows still open after stop, close and postpone"
[ -z "$(store_sql "$WORK_DB" "SELECT 1 FROM \"Promemoria\" WHERE $key_A")" ] || fail "A was not stopped"
c_alarm=$(store_sql "$WORK_DB" "SELECT \"PmAllarm\" FROM \"Promemoria\" WHERE $key_C")
[ "$(epoch_of "$c_alarm")" -gt $(($(date +%s) + 800)) ] || fail "C not postponed: PmAllarm $c_alarm"
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

# The store cannot be read: logged at every look, the watcher goes on, and shows D once the store is back.
store_sql "$WORK_DB" "ALTER TABLE \"Promemoria\" RENAME TO \"Altrove\";"
start_agenda 20
for _ in $(seq 1 100); do
    [ "$(grep -c 'archivio non leggibile' "$agenda_log")" -ge 2 ] && break
    sleep 0.05
done
[ "$(grep -c 'archivio non leggibile' "$agenda_log")" -ge 2 ] || fail "no failed look logged: $(cat "$agenda_log")"
store_sql "$WORK_DB" "ALTER TABLE \"Altrove\" RENAME TO \"Promemoria\"; DELETE FROM \"Promemoria\";"
# A row the scheduling application left with a key that is no date: logged once, skipped, the others shown. It
# is there before D, so the look that shows D has read it.
store_is_server || store_sql "$WORK_DB" "INSERT INTO \"Promemoria\" VALUES (58, 'ieri', 'MAN', NULL, '2000-01-01 00:00:00', 'S');"
add_reminder D 1200 -1
wait_started D 1 >/dev/null
window_of D >/dev/null
store_is_server || [ "$(grep -c 'promemoria ignorato, 58|ieri|' "$agenda_log")" = 1 ] || fail "the bad row not logged once: $(cat "$agenda_log")"
stop_agenda
close_all_windows
wait_slots_free

# Six due, at most three windows: the first three in due order, the fourth in the slot that the first frees.
store_sql "$WORK_DB" "DELETE FROM \"Promemoria\";"
for i in 1 2 3 4 5 6; do
    add_reminder "F$i" $((2000 + i)) $((-100 + i))
done
start_agenda 3
wait_started F3 1 >/dev/null
for _ in $(seq 1 40); do
    [ "$(visible_windows)" = 3 ] && break
    sleep 0.05
done
[ "$(visible_windows)" = 3 ] || fail "$(visible_windows) windows instead of 3"
[ "$(started_count F4)" = 0 ] || fail "a fourth window while three were open"
"$X11_CLOSE_WINDOW" "$(window_of F1)" >/dev/null
wait_started F4 1 >/dev/null
grep -q "posto 0: $SETTINGS|0|57|MAN|$line_F4" "$agenda_log" || fail "F4 not in the freed slot 0: $(cat "$agenda_log")"
[ "$(started_count F5)" = 0 ] || fail "F5 started beyond the limit"
echo "PASS: $(grep -c 'finestra avviata' "$agenda_log") windows started, $(grep -c 'archivio non leggibile' "$agenda_log") failed looks"
