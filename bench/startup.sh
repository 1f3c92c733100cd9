#!/usr/bin/env bash
# Start-up figures of the pop-up under a private headless X server: the time from launching reminder-popup on a
# demo store until its window is mapped, and its peak memory, next to the same figures for a bare Qt Widgets
# window (minimal_window) built by the same project. Prints the medians and their ratios; judges nothing.
#
#   bench/startup.sh [--runs N] [--build-dir DIR] [--no-session-bus] [--server]
#
# --server also puts a second demo store on a throw-away local PostgreSQL server, reached as an office reaches it
# (TCP, SCRAM password from a password file), and measures the pop-up on both stores side by side: what the office
# store adds (loading libpq, connecting, the round trips) is the ratio server / files.
#
# Both programs run inside a private D-Bus session, as in an operator's desktop session. Without a session bus
# Qt's accessibility bridge forks dbus-launch on every start, a cost no desktop user pays and one that grows with
# the size of the process that forks; --no-session-bus measures that bare set-up all the same.
# Without --build-dir the release preset is configured and built. Runs of the two programs alternate, after
# one unmeasured warm-up run of each, so that both see the same machine load and a warm file cache.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
runs=21
build_dir=""
session_bus=yes
on_server=no

usage() {
    echo "usage: $(basename "$0") [--runs N] [--build-dir DIR] [--no-session-bus] [--server]" >&2
    exit 2
}

while [ $# -gt 0 ]; do
    case "$1" in
    --runs) [ $# -ge 2 ] || usage; runs=$2; shift 2 ;;
    --build-dir) [ $# -ge 2 ] || usage; build_dir=$2; shift 2 ;;
    --no-session-bus) session_bus=no; shift ;;
    --server) on_server=yes; shift ;;
    *) usage ;;
    esac
done
[[ "$runs" =~ ^[1-9][0-9]*$ ]] || usage

targets=(reminder-popup minimal_window x11_time_to_map)
if [ -z "$build_dir" ]; then
    build_dir="$root/build/release"
    [ -f "$build_dir/CMakeCache.txt" ] || cmake --preset release -S "$root" >/dev/null
fi
cmake --build "$build_dir" --target "${targets[@]}" >/dev/null

popup="$build_dir/src/reminder-popup"
minimal="$build_dir/bench/minimal_window"
timer="$build_dir/bench/x11_time_to_map"
time_tool=/usr/bin/time
[ -x "$time_tool" ] || { echo "error: $time_tool is needed (apt-get install time)" >&2; exit 1; }

work=$(mktemp -d)
SESSION_BUS_PID=""
pg_dir=""
source "$root/scripts/private-xserver.sh"
source "$root/scripts/private-pg-server.sh"
cleanup() {
    stop_private_xserver
    [ -n "$pg_dir" ] && stop_private_pg_server "$pg_dir"
    [ -n "$SESSION_BUS_PID" ] && { kill -- "-$SESSION_BUS_PID" 2>/dev/null; wait "$SESSION_BUS_PID" 2>/dev/null; } || true
    rm -rf "$work"
}
trap cleanup EXIT

# The demo script prints the command line last, quoted; a mktemp folder never needs the single-quoted form.
# demo_request FOLDER [OPTION...]: makes a demo store and prints its launch request.
demo_request() {
    local folder=$1 line request
    shift
    line=$(bash "$root/scripts/make-demo-store.sh" "$@" "$folder" | tail -n 1)
    request=$(sed -n 's/^  reminder-popup "\(.*\)"$/\1/p' <<<"$line")
    [ -n "$request" ] || { echo "error: unexpected demo store output: $line" >&2; exit 1; }
    echo "$request"
}
request=$(demo_request "$work/demo")
if [ "$on_server" = yes ]; then
    pg_dir=$(mktemp -d /tmp/rp-bench-pg.XXXXXX)
    start_private_pg_server "$pg_dir"
    psql -q -X -c "CREATE DATABASE agenda"
    server_request=$(demo_request "$work/demo-server" --server "host=$PGHOST port=$PGPORT dbname=agenda")
    # The demo's operator role, DEMO, logs in over TCP with its SCRAM password, kept in a password file.
    psql -q -X -c "ALTER ROLE \"DEMO\" PASSWORD 'banco-prova'"
    printf '127.0.0.1:%s:agenda:DEMO:banco-prova\n' "$PGPORT" >"$work/pgpass"
    chmod 600 "$work/pgpass"
    export PGPASSFILE="$work/pgpass"
    sed -i "s/^SERVER=.*/SERVER=host=127.0.0.1 port=$PGPORT dbname=agenda user=DEMO/" "$work/demo-server/popup.ini"
fi

start_private_xserver "$work"
if [ "$session_bus" = yes ]; then
    source "$root/scripts/private-session-bus.sh"
    start_private_session_bus "$work"
else
    unset DBUS_SESSION_BUS_ADDRESS
fi

# measure NAME TITLE-PREFIX PROGRAM [ARGUMENT...]: one run; appends "milliseconds kilobytes" to $work/NAME.
measure() {
    local name=$1 prefix=$2
    shift 2
    local out
    if ! out=$("$timer" "$prefix" "$time_tool" -f %M -o "$work/peak" "$@" 2>"$work/err"); then
        echo "error: $name: $(cat "$work/err")" >&2
        exit 1
    fi
    echo "${out#mapped_ms } $(tail -n 1 "$work/peak")" >>"$work/$name"
}

median() {
    sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

measure warmup "APP. " "$popup" "$request"
measure warmup "minimal" "$minimal"
[ "$on_server" = no ] || measure warmup "APP. " "$popup" "$server_request"
for i in $(seq 1 "$runs"); do
    # Alternating which goes first keeps a drift in machine load from favouring one of them.
    if [ $((i % 2)) -eq 1 ]; then
        measure popup "APP. " "$popup" "$request"
        [ "$on_server" = no ] || measure server "APP. " "$popup" "$server_request"
        measure minimal "minimal" "$minimal"
    else
        measure minimal "minimal" "$minimal"
        [ "$on_server" = no ] || measure server "APP. " "$popup" "$server_request"
        measure popup "APP. " "$popup" "$request"
    fi
done

popup_ms=$(cut -d' ' -f1 "$work/popup" | median)
minimal_ms=$(cut -d' ' -f1 "$work/minimal" | median)
popup_mb=$(cut -d' ' -f2 "$work/popup" | awk '{ print $1 / 1024 }' | median)
minimal_mb=$(cut -d' ' -f2 "$work/minimal" | awk '{ print $1 / 1024 }' | median)

bus_note="with a private session bus"
[ "$session_bus" = yes ] || bus_note="without a session bus"
[ "$on_server" = yes ] && bus_note="$bus_note, files and a local PostgreSQL server over TCP with SCRAM"
echo "start-up under Xvfb $bus_note, $runs runs each, build $build_dir"
echo "  reminder-popup ms: $(cut -d' ' -f1 "$work/popup" | tr '\n' ' ')"
echo "  minimal_window ms: $(cut -d' ' -f1 "$work/minimal" | tr '\n' ' ')"
awk -v pm="$popup_ms" -v mm="$minimal_ms" -v pk="$popup_mb" -v mk="$minimal_mb" 'BEGIN {
    printf "%-16s %18s %18s\n", "", "launch to mapped", "peak memory"
    printf "%-16s %15.1f ms %15.1f MB\n", "reminder-popup", pm, pk
    printf "%-16s %15.1f ms %15.1f MB\n", "minimal_window", mm, mk
    printf "%-16s %18.2f %18.2f\n", "ratio", pm / mm, pk / mk
}'
if [ "$on_server" = yes ]; then
    server_ms=$(cut -d' ' -f1 "$work/server" | median)
    echo "  popup on server ms: $(cut -d' ' -f1 "$work/server" | tr '\n' ' ')"
    awk -v sm="$server_ms" -v pm="$popup_ms" 'BEGIN {
        printf "%-16s %15.1f ms\n", "popup on server", sm
        printf "%-16s %18.2f\n", "server / files", sm / pm
    }'
fi
