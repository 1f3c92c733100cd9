#!/usr/bin/env bash
# An office's load on its server: N pop-ups of N different reminders of ten operators, all started at once under
# a private headless X server against a throw-away PostgreSQL cluster with max_connections = 20 (17 for the
# operators, 3 kept for superusers), once straight to the server and once through a throw-away PgBouncer in
# transaction mode (a pool of 15 server connections); every window shown is then postponed with Alt+P. Prints,
# for each way in: windows shown, error boxes, the peak of server connections while the pop-ups start and while
# their windows wait, seconds until every pop-up has shown its window or its box, and the reminders postponed
# correctly (both rows written). Judges nothing.
#
#   bench/office-load.sh [N] [--build-dir DIR]
#
# Every operator logs in over TCP with SCRAM, as from the office's desks. Server connections are counted from
# pg_stat_activity every 0.1 s (client backends, the counting session left out); behind the pooler they are the
# pooler's, shared by every window. Without --build-dir the release preset is configured and built.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
popups=200
build_dir=""
usage() {
    echo "usage: $(basename "$0") [N] [--build-dir DIR]" >&2
    exit 2
}
while [ $# -gt 0 ]; do
    case "$1" in
    --build-dir) [ $# -ge 2 ] || usage; build_dir=$2; shift 2 ;;
    [1-9]*) [[ "$1" =~ ^[1-9][0-9]*$ ]] || usage; popups=$1; shift ;;
    *) usage ;;
    esac
done
operators=10
max_connections=20
pool_size=15
settle_limit_s=300

if [ -z "$build_dir" ]; then
    build_dir="$root/build/release"
    [ -f "$build_dir/CMakeCache.txt" ] || cmake --preset release -S "$root" >/dev/null
fi
cmake --build "$build_dir" --target reminder-popup >/dev/null
popup="$build_dir/src/reminder-popup"

work=$(mktemp -d /tmp/office-load.XXXXXX)
chmod 711 "$work" # the cluster and the pooler run as "postgres" under root
pg_dir="$work/pg"
bouncer_dir="$work/bouncer"
SESSION_BUS_PID=""
sampler_pid=""
declare -a pids=()
source "$root/scripts/private-xserver.sh"
source "$root/scripts/private-session-bus.sh"
source "$root/scripts/private-pg-server.sh"
source "$root/scripts/private-pgbouncer.sh"
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    touch "$work/sampler.stop"
    [ -n "$sampler_pid" ] && wait "$sampler_pid" 2>/dev/null || true
    stop_private_xserver
    [ -n "$SESSION_BUS_PID" ] && { kill -- "-$SESSION_BUS_PID" 2>/dev/null; wait "$SESSION_BUS_PID" 2>/dev/null; } || true
    [ -d "$bouncer_dir" ] && stop_private_pgbouncer "$bouncer_dir"
    [ -d "$pg_dir" ] && stop_private_pg_server "$pg_dir"
    rm -rf "$work"
}
trap cleanup EXIT

now_ms() { date +%s%3N; }
operator_of() { printf 'op%02d' $(((($1 - 1) % operators) + 1)); }

# --- The server: ten operators' schemas and roles, N reminders due five minutes ago, one per client ---
start_private_pg_server "$pg_dir" >/dev/null
pg_port=$PGPORT
psql -X -q -v ON_ERROR_STOP=1 -c "ALTER SYSTEM SET max_connections = $max_connections" -c "CREATE DATABASE agenda"
pg_as_owner "$PG_BIN/pg_ctl" -D "$pg_dir/data" -l "$pg_dir/server.log" -w -t 60 restart >/dev/null
due=$(date -d '-5 min' '+%Y-%m-%d %H:%M:00')
due_line=$(date -d "$due" '+%d/%m/%Y %H:%M:%S')
for o in $(seq 1 $operators); do
    op=$(printf 'op%02d' "$o")
    psql -X -q -v ON_ERROR_STOP=1 -c "CREATE ROLE $op LOGIN PASSWORD 'pw-$op'"
    psql -X -q -v ON_ERROR_STOP=1 -v operator="$op" -v role="$op" -f "$root/data/layout/server.sql" -d agenda >/dev/null
done
{
    echo "BEGIN;"
    for o in $(seq 1 $operators); do
        echo "INSERT INTO \"op$(printf %02d "$o")/VisiteQZ\".\"TabAzioni\" VALUES ('MAN', 'MANUTENZIONE', 255);"
    done
    for i in $(seq 1 "$popups"); do
        op=$(operator_of "$i")
        printf "INSERT INTO \"%s/DatiQZ\".\"Clienti\" VALUES (%d, 'CLIENTE %d', 'CLIENTE %d');\n" "$op" $((1000 + i)) "$i" "$i"
        printf "INSERT INTO \"%s/VisiteQZ\".\"Appuntamenti\" VALUES (%d, '%s', 'MAN', 'nota', 'P%04d', 30);\n" "$op" $((1000 + i)) "$due" "$i"
        printf "INSERT INTO \"%s/WorkQZ\".\"Promemoria\" VALUES (%d, '%s', 'MAN', NULL, '%s', 'S');\n" "$op" $((1000 + i)) "$due" "$due"
    done
    echo "COMMIT;"
} | psql -X -q -v ON_ERROR_STOP=1 -d agenda
start_private_pgbouncer "$bouncer_dir" "$pg_dir" "$pg_port" "$pool_size"

start_private_xserver "$work" 1280x1024 1024
start_private_session_bus "$work"

# reset_rows: every reminder due again, as before a run.
reset_rows() {
    local o op
    for o in $(seq 1 $operators); do
        op=$(printf 'op%02d' "$o")
        echo "UPDATE \"$op/VisiteQZ\".\"Appuntamenti\" SET \"ApAllarm\" = 30; UPDATE \"$op/WorkQZ\".\"Promemoria\" SET \"PmAllarm\" = \"PmData\", \"PmWait\" = 'S';"
    done | psql -X -q -v ON_ERROR_STOP=1 -d agenda
}
# postponed_rows: reminders whose two rows the postpone wrote (the alarm moved past now, the wait flag cleared,
# the appointment's lead changed).
postponed_rows() {
    local o op union=""
    for o in $(seq 1 $operators); do
        op=$(printf 'op%02d' "$o")
        [ -n "$union" ] && union+=" UNION ALL "
        union+="SELECT count(*) FROM \"$op/WorkQZ\".\"Promemoria\" p JOIN \"$op/VisiteQZ\".\"Appuntamenti\" a
            ON (a.\"ApCliente\", a.\"ApData\", a.\"ApAzione\") = (p.\"PmCliente\", p.\"PmData\", p.\"PmAzione\")
            WHERE p.\"PmAllarm\" > localtimestamp AND p.\"PmWait\" = ' ' AND a.\"ApAllarm\" <> 30"
    done
    psql -X -A -t -d agenda -c "SELECT sum(count) FROM ($union) AS per_operator"
}
# sampler FILE: "milliseconds connections" every 0.1 s until sampler.stop appears.
sampler() {
    while [ ! -e "$work/sampler.stop" ]; do
        echo "$(now_ms) $(psql -X -A -t -d postgres -c "SELECT count(*) FROM pg_stat_activity
            WHERE backend_type = 'client backend' AND pid <> pg_backend_pid()" 2>/dev/null || echo -)" >>"$1"
        sleep 0.1
    done
}
# peak FILE FROM TO: the most connections sampled between FROM and TO (milliseconds).
peak() {
    awk -v from="$2" -v to="$3" '$1 >= from && $1 <= to && $2 != "-" && $2 > m { m = $2 } END { print m + 0 }' "$1"
}
# boxed DIR: the numbers of the pop-ups that showed a message box (the skipped-step diagnostics are no box).
boxed() {
    grep -H '^reminder-popup: ' "$1"/popup*.err 2>/dev/null | grep -v ' non eseguito: ' |
        sed -E 's|^.*/popup([0-9]+)\.err:.*$|\1|' | sort -un || true
}
visible_windows() {
    xdotool search --onlyvisible --name '^APP\. ' 2>/dev/null || true
}

results=()
run() {
    local way=$1 server=$2 i o op started settled shown boxes ended last_shown_ms
    local dir="$work/$way"
    mkdir -p "$dir"
    reset_rows
    for o in $(seq 1 $operators); do
        op=$(printf 'op%02d' "$o")
        mkdir -p "$dir/$op"
        printf '[BASE]\nOPERATORE=%s\n[PATH]\nFILE=%s/\nWORK=%s/\nSERVER=%s user=%s password=pw-%s\n[AGENDA]\nSuonoSN=N\n' \
            "$op" "$dir" "$dir" "$server" "$op" "$op" >"$dir/$op/popup.ini"
    done
    rm -f "$work/sampler.stop"
    sampler "$dir/connections" &
    sampler_pid=$!
    pids=()
    started=$(now_ms)
    for i in $(seq 1 "$popups"); do
        "$popup" "$dir/$(operator_of "$i")/popup.ini|0|$((1000 + i))|MAN|$due_line" >/dev/null 2>"$dir/popup$i.err" &
        pids[i]=$!
    done
    # Settled: every pop-up shows its window, shows a box, or has ended.
    shown=0
    last_shown_ms=$started
    while :; do
        local now count
        now=$(now_ms)
        count=$(visible_windows | wc -l)
        [ "$count" -gt "$shown" ] && last_shown_ms=$now
        shown=$count
        local -A with_box=()
        for i in $(boxed "$dir"); do with_box[$i]=1; done
        boxes=${#with_box[@]}
        ended=0
        for i in $(seq 1 "$popups"); do
            [ -z "${with_box[$i]:-}" ] && ! kill -0 "${pids[i]}" 2>/dev/null && ended=$((ended + 1))
        done
        [ $((shown + boxes + ended)) -ge "$popups" ] && break
        [ $((now - started)) -lt $((settle_limit_s * 1000)) ] || {
            echo "note: $way: not settled after $settle_limit_s s" >&2
            break
        }
        sleep 0.25
    done
    settled=$(now_ms)
    # The windows wait a while, as an operator's backlog does.
    sleep 5
    local waiting_until
    waiting_until=$(now_ms)
    local peak_start peak_wait
    peak_start=$(peak "$dir/connections" "$started" "$settled")
    peak_wait=$(peak "$dir/connections" "$settled" "$waiting_until")
    local messages
    messages=$(cat "$dir"/popup*.err | grep '^reminder-popup: ' | grep -v ' non eseguito: ' |
        sed -E 's/port [0-9]+/port #/g' | sort | uniq -c | sort -rn | head -n 3 || true)
    # The pop-ups showing a box are closed; every window shown is postponed.
    for i in $(boxed "$dir"); do
        kill "${pids[i]}" 2>/dev/null || true
        wait "${pids[i]}" 2>/dev/null || true
    done
    # xdotool gives up its search when a window goes while it walks the tree: the list is taken again until it
    # holds every window shown.
    local window windows=""
    for _ in $(seq 1 20); do
        windows=$(visible_windows)
        [ "$(wc -w <<<"$windows")" -ge "$shown" ] && break
        sleep 0.5
    done
    for window in $windows; do
        timeout 10 xdotool windowfocus --sync "$window" key alt+p 2>/dev/null || true
    done
    local still=0
    for _ in $(seq 1 600); do
        still=0
        for i in $(seq 1 "$popups"); do
            kill -0 "${pids[i]}" 2>/dev/null && still=$((still + 1))
        done
        [ "$still" -eq 0 ] && break
        sleep 0.1
    done
    for i in $(seq 1 "$popups"); do kill "${pids[i]}" 2>/dev/null || true; done
    wait "${pids[@]}" 2>/dev/null || true
    pids=()
    touch "$work/sampler.stop"
    wait "$sampler_pid" 2>/dev/null || true
    sampler_pid=""
    local written
    written=$(postponed_rows)
    results+=("$(printf '| %-16s | %5d / %-5d | %5d | %10d | %10d | %8.1f | %9d | %12d |' "$way" "$shown" "$popups" "$boxes" \
        "$peak_start" "$peak_wait" "$(awk -v ms=$((last_shown_ms - started)) 'BEGIN { print ms / 1000 }')" "$still" "$written")")
    [ -n "$messages" ] && echo "$way, most frequent messages:" && echo "$messages"
    return 0
}

run direct "host=127.0.0.1 port=$pg_port dbname=agenda"
run pgbouncer "host=127.0.0.1 port=$PGBOUNCER_PORT dbname=agenda"

echo
echo "office load: $popups pop-ups of $operators operators at once; server max_connections = $max_connections;" \
    "pooler: transaction mode, $pool_size server connections"
echo "| way in           | windows shown | boxes | peak conn. | peak conn. | s to all | left open | postponed ok |"
echo "|                  |               |       | (start-up) |  (waiting) |  shown   | (no end)  |  (2 rows)    |"
echo "|------------------|---------------|-------|------------|------------|----------|-----------|--------------|"
printf '%s\n' "${results[@]}"
