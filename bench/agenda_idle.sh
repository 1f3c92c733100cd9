#!/usr/bin/env bash
# Figures of the agenda watcher with 10,000 reminders in Promemoria, none due: its CPU time and memory over an idle
# stretch at the default interval, then the CPU time of one look, from a stretch at a one-second interval; then,
# at the default interval, how late a pop-up is started: after its PmAllarm, and after a commit that adds a row
# already due (median of 10 each). Prints the figures; judges nothing.
#
#   bench/agenda_idle.sh [--seconds N] [--rows N] [--build-dir DIR] [--server]
#
# --server puts the store on a throw-away local PostgreSQL server (Unix socket): every look then connects, reads
# and disconnects. Without --build-dir the release preset is configured and built.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
seconds=600
rows=10000
build_dir=""
on_server=no
usage() {
    echo "usage: $(basename "$0") [--seconds N] [--rows N] [--build-dir DIR] [--server]" >&2
    exit 2
}
while [ $# -gt 0 ]; do
    case "$1" in
    --seconds) [ $# -ge 2 ] || usage; seconds=$2; shift 2 ;;
    --rows) [ $# -ge 2 ] || usage; rows=$2; shift 2 ;;
    --build-dir) [ $# -ge 2 ] || usage; build_dir=$2; shift 2 ;;
    --server) on_server=yes; shift ;;
    *) usage ;;
    esac
done
[[ "$seconds" =~ ^[1-9][0-9]*$ && "$rows" =~ ^[1-9][0-9]*$ ]] || usage
if [ -z "$build_dir" ]; then
    cmake --preset release >/dev/null && cmake --build --preset release -j2 --target reminder-agenda >/dev/null
    build_dir="$root/build/release"
fi
agenda="$build_dir/src/agenda/reminder-agenda"
[ -x "$agenda" ] || { echo "error: no $agenda" >&2; exit 1; }

work=$(mktemp -d)
pg_dir=""
agenda_pid=""
source "$root/scripts/private-pg-server.sh"
cleanup() {
    [ -n "$agenda_pid" ] && { kill "$agenda_pid" 2>/dev/null; wait "$agenda_pid" 2>/dev/null; } || true
    [ -n "$pg_dir" ] && stop_private_pg_server "$pg_dir"
    rm -rf "$work"
}
trap cleanup EXIT

# Every reminder a day or more ahead, the demo's own among them: nothing is due, the watcher only looks.
fill="INSERT INTO \"Promemoria\" (\"PmCliente\", \"PmData\", \"PmAzione\", \"PmAllarm\")"
store_options=()
if [ "$on_server" = yes ]; then
    pg_dir=$(mktemp -d /tmp/rp-bench-pg.XXXXXX)
    start_private_pg_server "$pg_dir"
    psql -q -X -c "CREATE DATABASE agenda"
    store_options=(--server "host=$PGHOST port=$PGPORT dbname=agenda")
fi
bash "$root/scripts/make-demo-store.sh" "${store_options[@]}" "$work/demo" >/dev/null
if [ "$on_server" = yes ]; then
    psql -q -X -d agenda -c "SET search_path TO \"DEMO/WorkQZ\";
        UPDATE \"Promemoria\" SET \"PmAllarm\" = now() + interval '2 days';
        $fill SELECT 1000 + i, timestamp '2030-01-01' + i * interval '1 hour', 'MAN',
            localtimestamp(0) + interval '1 day' + i * interval '1 minute' FROM generate_series(1, $rows) AS i;
        ANALYZE \"Promemoria\";"
else
    sqlite3 -bail "$work/demo/DEMO/WorkQZ.mdb" "UPDATE Promemoria SET PmAllarm = datetime('now', 'localtime', '+2 days');
        WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < $rows)
        $fill SELECT 1000 + i, datetime('2030-01-01', '+' || i || ' hours'), 'MAN',
            datetime('now', 'localtime', '+1 day', '+' || i || ' minutes') FROM n; ANALYZE;"
fi
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
# The stand-ins need no display, but a watcher without one says so at start, and every line but a window's is an
# error here.
export DISPLAY="${DISPLAY:-:0}"

ticks=$(getconf CLK_TCK)
# cpu_ticks PID: user plus system time so far, in clock ticks.
cpu_ticks() {
    awk '{ print $14 + $15 }' "/proc/$1/stat"
}
# run_stretch INTERVAL SECONDS: prints "cpu-ticks rss-kB peak-rss-kB" of a watcher run for SECONDS after its start.
run_stretch() {
    "$agenda" --interval "$1" --popup /bin/false "$work/demo/popup.ini" 2>>"$work/agenda.log" &
    agenda_pid=$!
    sleep 1
    local start
    start=$(cpu_ticks "$agenda_pid")
    sleep "$2"
    echo "$(($(cpu_ticks "$agenda_pid") - start)) $(awk '/^VmRSS/ { print $2 }' "/proc/$agenda_pid/status") $(awk '/^VmHWM/ { print $2 }' "/proc/$agenda_pid/status")"
    kill "$agenda_pid"
    wait "$agenda_pid" 2>/dev/null || true
    agenda_pid=""
}

read -r idle_ticks idle_rss idle_peak < <(run_stretch 30 "$seconds")
look_seconds=30
read -r look_ticks _ _ < <(run_stretch 1 "$look_seconds")
# The pop-up stands in as a script that notes when it was started and ends.
starts="$work/starts"
: >"$starts"
printf '#!/bin/sh\ndate +%%s.%%N >>"%s"\n' "$starts" >"$work/popup-stand-in"
chmod +x "$work/popup-stand-in"
work_sql() {
    if [ "$on_server" = yes ]; then
        psql -q -X -d agenda -c "SET search_path TO \"DEMO/WorkQZ\"; $1"
    else
        sqlite3 -bail "$work/demo/DEMO/WorkQZ.mdb" "$1"
    fi
}
# latency_of ALARM-OFFSET THEN: adds a reminder whose alarm is ALARM-OFFSET seconds from the next whole second, runs
# THEN, waits for its pop-up and prints the seconds from the later of its alarm and its commit to the pop-up's start.
latency_of() {
    local before alarm committed started
    # The last trial's window has just ended, and its end makes a look: one more second, and that look is not
    # what sees this trial's row.
    sleep 1
    before=$(wc -l <"$starts")
    alarm=$(($(date +%s) + 1 + $1))
    # A key of its own each time: the same key again would be the reminder whose window has just ended, which the
    # watcher rightly brings back only after the repeat.
    trial=$((trial + 1))
    work_sql "INSERT INTO \"Promemoria\" (\"PmCliente\", \"PmData\", \"PmAzione\", \"PmAllarm\")
        VALUES (99, '$(date -d "@$((alarm + 86400 * trial))" '+%Y-%m-%d %H:%M:%S')', 'MAN',
            '$(date -d "@$alarm" '+%Y-%m-%d %H:%M:%S')');"
    committed=$(date +%s.%N)
    $2
    while [ "$(wc -l <"$starts")" = "$before" ]; do sleep 0.01; done
    started=$(tail -n 1 "$starts")
    work_sql "DELETE FROM \"Promemoria\" WHERE \"PmCliente\" = 99;"
    awk -v s="$started" -v a="$alarm" -v c="$committed" 'BEGIN { m = a > c ? a : c; printf "%.3f\n", s - m }'
}
trial=0
median() {
    sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
start_watching() {
    "$agenda" --interval 30 --popup "$work/popup-stand-in" "$work/demo/popup.ini" 2>>"$work/agenda.log" &
    agenda_pid=$!
}
stop_watching() {
    kill "$agenda_pid"
    wait "$agenda_pid" 2>/dev/null || true
    agenda_pid=""
}
# An alarm is kept to when the watcher has read it: each alarm trial starts a watcher after its row is written, as
# a row written a look or more before its alarm. A commit is seen by a watcher that sleeps when it comes.
alarm_latency=$(for _ in $(seq 1 10); do latency_of 2 start_watching; stop_watching; done | median)
start_watching
sleep 1
commit_latency=$(for _ in $(seq 1 10); do latency_of -60 :; done | median)
stop_watching

if grep -vq 'finestra avviata' "$work/agenda.log"; then
    echo "error: the watcher logged: $(head -n 5 "$work/agenda.log")" >&2
    exit 1
fi

store="SQLite files"
[ "$on_server" = yes ] && store="local PostgreSQL server"
awk -v t="$ticks" -v it="$idle_ticks" -v s="$seconds" -v rss="$idle_rss" -v peak="$idle_peak" -v lt="$look_ticks" \
    -v ls="$look_seconds" -v rows="$rows" -v store="$store" 'BEGIN {
    printf "reminder-agenda, %d reminders in Promemoria, none due, store on %s\n", rows, store
    printf "  idle %d s at --interval 30: CPU %.2f s (%.3f%% of one core), RSS %.1f MB, peak RSS %.1f MB\n",
        s, it / t, 100 * it / t / s, rss / 1024, peak / 1024
    printf "  one look (CPU time, mean of %d looks at --interval 1): %.1f ms\n", ls, 1000 * lt / t / ls
}'
echo "  at --interval 30, median of 10: pop-up started $alarm_latency s after its PmAllarm, $commit_latency s after the commit of a row already due"
