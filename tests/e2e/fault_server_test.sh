#!/usr/bin/env bash
# Fault matrix, the office server: down at the start, stopped between the load and the postpone, a wrong
# password, an operator name too long for a schema, a write the operator's role may not make. Each gives its
# box with the server's own message, the program ends with status 0, and no row on the server changes: the
# two writes of an action are one transaction. A server with no free connection for a moment, and a first host
# of two that is down, are waited out: the window shows.
source "$(dirname "$0")/fault_lib.sh"
store_is_server || fail "the server's rows need REMINDER_E2E_STORE=server"
start_xserver

# with_server SERVER: the row's settings file names that server instead.
with_server() {
    SERVER=$1
    { settings_text "$OPERATOR" "$STORE" && printf '[AGENDA]\nSuonoSN=N\n'; } >"$SETTINGS"
}

row "server down at the start: the load error box within the connect timeout, the program ends"
fault_store "$E2E_TMP/store" "mario"
fingerprint_before
server_stop
launch_popup "$COMMAND"
expect_load_error_and_end "3151-Connessione al server non riuscita: .*No such file or directory.*" -E
server_start
expect_files_unchanged
row_pass

# start_silent_listener: a listener that lets the system complete the handshake and then says nothing, as a
# hung server would; sets SILENT_PORT and SILENT_PID. It tells the moment it took the first connection, which
# silent_accepted_ms reads: the pop-up's own clock for its bound starts there, however slowly it started.
start_silent_listener() {
    coproc SILENT { exec python3 -c '
import socket, sys, time
s = socket.socket(); s.bind(("127.0.0.1", 0)); s.listen(8)
print(s.getsockname()[1], flush=True)
connection = s.accept(); print(int(time.time() * 1000), flush=True); time.sleep(60)'; }
    read -r -t 10 SILENT_PORT <&"${SILENT[0]}" || row_fail "the silent listener did not start"
}
silent_accepted_ms() {
    local accepted=""
    read -r -t 10 accepted <&"${SILENT[0]}" || row_fail "the pop-up never connected to the silent listener"
    echo "$accepted"
}
stop_silent_listener() {
    kill "$SILENT_PID" && wait "$SILENT_PID" 2>/dev/null || true
}

row "server that takes the connection and never answers: the load error box after the connect timeout"
fault_store "$E2E_TMP/store" "mario"
start_silent_listener
silent_port=$SILENT_PORT
with_server "host=127.0.0.1 port=$silent_port dbname=agenda user=$E2E_PG_ROLE"
fingerprint_before
launch_popup "$COMMAND"
wait_box "Promemoria appuntamenti" "3151-Connessione al server non riuscita: nessuna risposta dal server entro 5 secondi."
waited=$(($(now_ms) - $(silent_accepted_ms)))
answer_box Return
expect_end 0
stop_silent_listener
# The bound, give or take the time a busy machine takes to show the box.
[ "$waited" -ge 4500 ] && [ "$waited" -lt 8000 ] || row_fail "the box came $waited ms after the connection"
expect_files_unchanged
echo "figure: box after $waited ms"
row_pass

row "server stopped between the load and the postpone: the write box, Annulla, nothing written"
fault_store "$E2E_TMP/store" "mario"
launch_popup "$COMMAND"
window=$(reminder_window)
fingerprint_before
server_stop
press "$window" alt+p
wait_box ERRORE "ERRORE IN SCRITTURA APPUNTAMENTI \| 3151: Connessione al server (interrotta|non riuscita): .+" -E
answer_box Escape
expect_window_open "$window"
server_start
expect_files_unchanged
"$X11_CLOSE_WINDOW" "$window"
expect_end 0
expect_files_unchanged
row_pass

row "wrong password over TCP: the load error box; the right one loads"
fault_store "$E2E_TMP/store" "mario"
store_sql "$DATA_DB" "ALTER ROLE $E2E_PG_ROLE PASSWORD 'giusta'"
with_server "host=127.0.0.1 port=$E2E_PG_PORT dbname=agenda user=$E2E_PG_ROLE password=sbagliata"
fingerprint_before
launch_popup "$COMMAND"
expect_load_error_and_end "3151-Connessione al server non riuscita: .*password authentication failed for user \"$E2E_PG_ROLE\".*" -E
expect_files_unchanged
with_server "host=127.0.0.1 port=$E2E_PG_PORT dbname=agenda user=$E2E_PG_ROLE password=giusta"
launch_popup "$COMMAND"
window=$(reminder_window)
"$X11_CLOSE_WINDOW" "$window"
expect_end 0
expect_no_box
store_sql "$DATA_DB" "ALTER ROLE $E2E_PG_ROLE PASSWORD NULL"
row_pass

row "operator name too long for a schema name: the load error box, the program ends"
fault_store "$E2E_TMP/store" "mario"
# 63 bytes: with "/DatiQZ" past the server's limit for a name, which would cut it (the layout could not be made).
OPERATOR=$(printf 'operatore%.0s' 1 2 3 4 5 6 7)
with_server "$SERVER"
fingerprint_before
launch_popup "$COMMAND"
expect_load_error_and_end "3125-'$OPERATOR/DatiQZ' non è un nome valido: .+" -E
expect_files_unchanged
row_pass

row "the operator's role may not write the reminder: the write box, Annulla, neither row written"
fault_store "$E2E_TMP/store" "mario"
store_sql "$WORK_DB" "REVOKE UPDATE ON \"Promemoria\" FROM $E2E_PG_ROLE"
fingerprint_before
launch_popup "$COMMAND"
window=$(reminder_window)
press "$window" alt+p
wait_box ERRORE "ERRORE IN SCRITTURA PROMEMORIA | 3033: Permesso negato sul database 'mario/WorkQZ' (permission denied for table Promemoria, SQLSTATE 42501)"
answer_box Escape
expect_window_open "$window"
"$X11_CLOSE_WINDOW" "$window"
expect_end 0
expect_files_unchanged
row_pass

# launch_until_shown: launches the pop-up and waits for its window; sets window, launched_ms and shown_after (the
# milliseconds between).
launch_until_shown() {
    launched_ms=$(now_ms)
    launch_popup "$COMMAND"
    window=$(reminder_window) || row_fail "no reminder window; standard error: $(cat "$E2E_TMP/popup.err")"
    shown_after=$(($(now_ms) - launched_ms))
}
# hold_slots COUNT SECONDS: COUNT superuser sessions take a connection slot each and keep it SECONDS; returns once
# every one is in. Their marks lie at the top of the temporary folder, outside the files a row checks.
hold_slots() {
    local i
    rm -f "$E2E_TMP"/slot-held.*
    HOLDER_PIDS=()
    for i in $(seq 1 "$1"); do
        printf '\\! touch %q\nSELECT pg_sleep(%s);\n' "$E2E_TMP/slot-held.$i" "$2" |
            psql -X -q -d "$(pg_conninfo postgres)" >/dev/null &
        HOLDER_PIDS+=($!)
    done
    for _ in $(seq 1 500); do
        [ "$(find "$E2E_TMP" -maxdepth 1 -name 'slot-held.*' | wc -l)" -eq "$1" ] && return 0
        nap 0.02
    done
    row_fail "the other sessions did not all connect"
}
# The server restarted with six connections, three of them kept for superusers.
start_store_server
pg_run postgres public "ALTER SYSTEM SET max_connections = 6" >/dev/null
server_start
# Three sessions leave only the superusers' reserved slots ("remaining connection slots are reserved"); six
# leave none ("sorry, too many clients already"): both SQLSTATE 53300, released after 2 s.
for held in 3 6; do
    row "server at its connection limit ($held of 6 slots taken) for 2 s, then freed: the window shows"
    fault_store "$E2E_TMP/store" "mario"
    fingerprint_before
    hold_slots "$held" 2
    launch_until_shown
    for pid in "${HOLDER_PIDS[@]}"; do wait "$pid" || row_fail "a session holding a slot failed"; done
    "$X11_CLOSE_WINDOW" "$window"
    expect_end 0
    expect_no_box
    expect_files_unchanged
    # Shown once the slots were given back, not before: the load met the full server and waited.
    [ "$shown_after" -ge 1000 ] || row_fail "the window was shown after $shown_after ms, while the server was full"
    echo "figure: window after $shown_after ms"
    row_pass
done
pg_run postgres public "ALTER SYSTEM RESET max_connections" >/dev/null
server_start

# A primary behind a first host that is down: refused (nothing listens on the port), or silent. The string is
# longer than 99 characters: SERVER is read whole. The bound is read off the server's log, the moment the pop-up's
# connection to the second host came in: the window itself may take seconds more on a busy machine.
pg_run postgres public "ALTER SYSTEM SET log_connections = on" >/dev/null
pg_run postgres public "SELECT pg_reload_conf()" >/dev/null
# second_host_reached_ms LOG-OFFSET: the moment of the first connection over TCP the server logged past the offset.
second_host_reached_ms() {
    local line
    line=$(tail -c +"$(($1 + 1))" "$E2E_PG_DIR/server.log" | grep -m 1 'connection received: host=127\.0\.0\.1') ||
        row_fail "the server logged no connection from the pop-up"
    date -d "$(cut -d' ' -f1-3 <<<"$line")" +%s%3N
}
for first in refused silent; do
    row "two-host connection string, the first host $first: the second is reached within the bound, the window shows"
    fault_store "$E2E_TMP/store" "mario"
    store_sql "$DATA_DB" "ALTER ROLE $E2E_PG_ROLE PASSWORD 'giusta'"
    if [ "$first" = silent ]; then
        start_silent_listener
        first_port=$SILENT_PORT
    else
        first_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    fi
    with_server "host=127.0.0.1,127.0.0.1 port=$first_port,$E2E_PG_PORT dbname=agenda user=$E2E_PG_ROLE password=giusta target_session_attrs=read-write"
    fingerprint_before
    log_from=$(stat -c %s "$E2E_PG_DIR/server.log")
    launch_until_shown
    reached_ms=$(second_host_reached_ms "$log_from")
    reached_after=$((reached_ms - launched_ms))
    if [ "$first" = silent ]; then
        # Counted from the first host's connection: the silent host had its share of the bound, not all of it.
        reached_after=$((reached_ms - $(silent_accepted_ms)))
    fi
    "$X11_CLOSE_WINDOW" "$window"
    expect_end 0
    expect_no_box
    [ "$first" = silent ] && stop_silent_listener
    expect_files_unchanged
    store_sql "$DATA_DB" "ALTER ROLE $E2E_PG_ROLE PASSWORD NULL"
    [ "$reached_after" -lt 5000 ] || row_fail "the second host was reached after $reached_after ms, past the connect bound"
    echo "figure: second host reached after $reached_after ms, window after $shown_after ms"
    row_pass
done
