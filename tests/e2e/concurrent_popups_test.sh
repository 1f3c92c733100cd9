#!/usr/bin/env bash
# Twenty pop-ups on one store at once, each postponed by its own amount, while another process keeps writing
# other rows of the same tables. Every pop-up must end with status 0 having written its two rows, every row of
# the other process must be there, and nothing else may change or be damaged.
source "$(dirname "$0")/lib.sh"
start_xserver
make_store "mario"

POPUPS=20
BASE_CLIENT=100
WRITER_MAX_ROUNDS=400
WRITER_MAX_SECONDS=45
STORE_BUSY_WAIT_MS=5000

declare -a popup_pid window_of status_of
writer_pid=""
stop_everything() {
    for pid in "${popup_pid[@]}" $writer_pid; do
        kill "$pid" 2>/dev/null || true
    done
    e2e_cleanup
}
trap stop_everything EXIT

# Every appointment is due 2 h and 30 s from now, a different client each; the cause names the window.
due_at=$(date_text 7230 '%Y-%m-%d %H:%M:%S')
due_line=$(date -d "$due_at" '+%d/%m/%Y %H:%M:%S')
{
    echo "BEGIN; INSERT INTO \"TabAzioni\" VALUES ('MAN', 'MANUTENZIONE', 255);"
    echo "INSERT INTO \"Appuntamenti\" VALUES (901, '2030-01-01 10:00:00', 'BKG', 'di fondo', 'BKG', 0);"
    for i in $(seq 1 $POPUPS); do
        printf "INSERT INTO \"Appuntamenti\" VALUES (%d, '%s', 'MAN', 'nota %d', 'P%02d', 30);\n" \
            $((BASE_CLIENT + i)) "$due_at" "$i" "$i"
    done
    echo "COMMIT;"
} | store_sql "$VISITS_DB"
{
    echo "BEGIN; INSERT INTO \"Promemoria\" VALUES (901, '2030-01-01 10:00:00', 'BKG', NULL, '2030-01-01 10:00:00', 'S');"
    for i in $(seq 1 $POPUPS); do
        printf "INSERT INTO \"Promemoria\" VALUES (%d, '%s', 'MAN', 'doc %d', '%s', 'S');\n" \
            $((BASE_CLIENT + i)) "$due_at" "$i" "$due_at"
    done
    echo "COMMIT;"
} | store_sql "$WORK_DB"
store_snapshot "$E2E_TMP/expected"

# The other process: one write transaction per round on each file, inserting a row and updating another, some
# rounds holding the write lock for a while. Each committed transaction is logged, to be replayed on the
# snapshot; a round that could not get the lock within the same busy wait as the pop-ups is counted.
# write_transaction DB SQL: SQL as one write transaction, waiting for locks as long as the pop-ups do.
write_transaction() {
    if store_is_server; then
        store_sql "$1" "SET lock_timeout = $STORE_BUSY_WAIT_MS; BEGIN; $2 COMMIT;"
    else
        sqlite3 -bail -cmd ".timeout $STORE_BUSY_WAIT_MS" "$1" "BEGIN IMMEDIATE; $2 COMMIT;"
    fi
}
writer() {
    local round=0 deadline=$((SECONDS + WRITER_MAX_SECONDS)) hold sql
    while [ $round -lt $WRITER_MAX_ROUNDS ] && [ $SECONDS -lt $deadline ] && [ ! -e "$E2E_TMP/writer.stop" ]; do
        round=$((round + 1))
        hold=""
        [ $((round % 5)) = 0 ] && hold="SELECT count(*) FROM (WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 300000) SELECT x FROM c) AS h;"
        sql="INSERT INTO \"Appuntamenti\" VALUES (900, '2030-01-01 10:00:00', 'B$round', 'fondo $round', 'BKG', $round); UPDATE \"Appuntamenti\" SET \"ApAllarm\" = $round WHERE \"ApCliente\" = 901; $hold"
        if write_transaction "$VISITS_DB" "$sql" >/dev/null 2>>"$E2E_TMP/writer.err"; then
            echo "$sql" >>"$E2E_TMP/writer-visits.sql"
            echo "$EPOCHSECONDS" >>"$E2E_TMP/writer.commits"
        else
            echo "visits $round" >>"$E2E_TMP/writer.failed"
        fi
        sql="INSERT INTO \"Promemoria\" VALUES (900, '2030-01-01 10:00:00', 'B$round', 'doc $round', '2030-01-01 09:00:00', 'S'); UPDATE \"Promemoria\" SET \"PmDocumento\" = 'agg $round' WHERE \"PmCliente\" = 901; $hold"
        if write_transaction "$WORK_DB" "$sql" >/dev/null 2>>"$E2E_TMP/writer.err"; then
            echo "$sql" >>"$E2E_TMP/writer-work.sql"
            echo "$EPOCHSECONDS" >>"$E2E_TMP/writer.commits"
        else
            echo "work $round" >>"$E2E_TMP/writer.failed"
        fi
    done
    echo "$round" >"$E2E_TMP/writer.rounds"
}
touch "$E2E_TMP/writer.commits" "$E2E_TMP/writer-visits.sql" "$E2E_TMP/writer-work.sql" "$E2E_TMP/writer.failed"
writer &
writer_pid=$!

started_ms=$(now_ms)
for i in $(seq 1 $POPUPS); do
    "$REMINDER_POPUP" "$STORE/popup.ini|$((i % 10))|$((BASE_CLIENT + i))|MAN|$due_line" \
        >"$E2E_TMP/popup$i.out" 2>"$E2E_TMP/popup$i.err" &
    popup_pid[i]=$!
done

# Each window is found by its cause and postponed by i minutes, typed after emptying the amount box.
for i in $(seq 1 $POPUPS); do
    cause=$(printf 'P%02d' "$i")
    window_of[i]=$("$X11_WAIT" shown "[-]$cause\$" "${popup_pid[i]}" 2>"$E2E_TMP/wait.err") || {
        kill -0 "${popup_pid[i]}" 2>/dev/null || fail "pop-up $i ended before showing its window: $(cat "$E2E_TMP/popup$i.err")"
        fail "no window for pop-up $i: $(cat "$E2E_TMP/wait.err")"
    }
done
shown_ms=$(now_ms)
keys_from=$(date +%s)
for i in $(seq 1 $POPUPS); do
    digits=$(fold -w1 <<<"$i")
    # shellcheck disable=SC2086 # one key per digit
    timeout 10 xdotool windowfocus --sync "${window_of[i]}" key --delay 20 BackSpace BackSpace $digits alt+p ||
        fail "could not type into pop-up $i"
done

for i in $(seq 1 $POPUPS); do
    for _ in $(seq 1 400); do
        kill -0 "${popup_pid[i]}" 2>/dev/null || break
        nap 0.05
    done
    kill -0 "${popup_pid[i]}" 2>/dev/null && fail "pop-up $i did not end"
    status_of[i]=0
    wait "${popup_pid[i]}" || status_of[i]=$?
    unset 'popup_pid[i]'
done
all_ended=$(date +%s)
touch "$E2E_TMP/writer.stop"
wait "$writer_pid" || true
writer_pid=""

# --- Findings first, with figures, then the verdict ---
rounds=$(cat "$E2E_TMP/writer.rounds")
writer_failures=$(wc -l <"$E2E_TMP/writer.failed")
overlapping=$(awk -v from="$keys_from" -v to="$all_ended" '$1 >= from && $1 <= to' "$E2E_TMP/writer.commits" | wc -l)
skipped=$(cat "$E2E_TMP"/popup*.err | grep -c 'non eseguito' || true)
echo "figures: $POPUPS pop-ups shown in $((shown_ms - started_ms)) ms, postponed and ended within" \
    "$((all_ended - keys_from)) s of the first key; other process: $rounds rounds," \
    "$(wc -l <"$E2E_TMP/writer-visits.sql") + $(wc -l <"$E2E_TMP/writer-work.sql") transactions committed," \
    "$writer_failures refused, $overlapping committed while the pop-ups were writing; pop-up steps skipped: $skipped"
[ "$skipped" = 0 ] || fail "pop-ups skipped steps: $(grep -h 'non eseguito' "$E2E_TMP"/popup*.err | sort | uniq -c)"
[ "$writer_failures" = 0 ] || fail "the other process could not write within ${STORE_BUSY_WAIT_MS} ms: $(cat "$E2E_TMP/writer.err")"
[ "$rounds" -ge 5 ] || fail "the other process wrote only $rounds rounds: no real concurrency"

for i in $(seq 1 $POPUPS); do
    [ "${status_of[i]}" = 0 ] || fail "pop-up $i ended with status ${status_of[i]}: $(cat "$E2E_TMP/popup$i.err")"
done

due_epoch=$(epoch_of "$due_at")
first=$((BASE_CLIENT + 1))
last=$((BASE_CLIENT + POPUPS))
alarms=$(store_sql "$WORK_DB" "SELECT \"PmCliente\", \"PmAllarm\", '[' || \"PmWait\" || ']' FROM \"Promemoria\"
    WHERE \"PmCliente\" BETWEEN $first AND $last ORDER BY \"PmCliente\"")
leads=$(store_sql "$VISITS_DB" "SELECT \"ApCliente\", CAST(\"ApAllarm\" AS INTEGER), CAST(\"ApAllarm\" = CAST(\"ApAllarm\" AS INTEGER) AS INTEGER)
    FROM \"Appuntamenti\" WHERE \"ApCliente\" BETWEEN $first AND $last ORDER BY \"ApCliente\"")
[ "$(echo "$alarms" | wc -l)" = "$POPUPS" ] && [ "$(echo "$leads" | wc -l)" = "$POPUPS" ] || fail "rows are missing"
: >"$E2E_TMP/expected-visits.sql"
: >"$E2E_TMP/expected-work.sql"
while IFS='|' read -r client alarm wait_flag <&3 && IFS='|' read -r lead_client lead whole <&4; do
    i=$((client - BASE_CLIENT))
    [ "$lead_client" = "$client" ] || fail "appointment and reminder rows do not pair up"
    [ "$wait_flag" = "[ ]" ] || fail "pop-up $i: PmWait is $wait_flag"
    alarm_epoch=$(epoch_of "$alarm")
    [ "$alarm_epoch" -ge $((keys_from + i * 60)) ] && [ "$alarm_epoch" -le $((all_ended + i * 60 + 1)) ] ||
        fail "pop-up $i: PmAllarm $alarm is not $i minutes after its key"
    seconds_before=$((due_epoch - alarm_epoch))
    [ "$whole" = 1 ] && [ $((lead * 60)) -le $((seconds_before + 2)) ] && [ $(((lead + 1) * 60)) -gt $((seconds_before - 2)) ] ||
        fail "pop-up $i: ApAllarm $lead does not round down the $seconds_before s before the appointment"
    echo "UPDATE \"Appuntamenti\" SET \"ApAllarm\" = $lead WHERE \"ApCliente\" = $client;" >>"$E2E_TMP/expected-visits.sql"
    echo "UPDATE \"Promemoria\" SET \"PmAllarm\" = '$alarm', \"PmWait\" = ' ' WHERE \"PmCliente\" = $client;" >>"$E2E_TMP/expected-work.sql"
done 3<<<"$alarms" 4<<<"$leads"

cat "$E2E_TMP/expected-visits.sql" "$E2E_TMP/writer-visits.sql" | snapshot_sql "$E2E_TMP/expected" VisiteQZ >/dev/null
cat "$E2E_TMP/expected-work.sql" "$E2E_TMP/writer-work.sql" | snapshot_sql "$E2E_TMP/expected" WorkQZ >/dev/null
diff <(snapshot_dump "$E2E_TMP/expected" | sort) <(store_dump | sort) >&2 ||
    fail "the store differs from the pop-ups' and the other process's writes"
damage=$(store_damage "$DATA_DB" "$VISITS_DB" "$WORK_DB")
[ -z "$damage" ] || fail "$damage"
echo "PASS: $POPUPS pop-ups postponed with status 0, every row of the other process kept, integrity ok"
