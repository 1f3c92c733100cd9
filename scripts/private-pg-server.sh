# Sourced by the tests and the demo: a throw-away PostgreSQL 15 cluster in a folder of its own, listening on a
# Unix socket in that folder and on 127.0.0.1 only. The socket trusts local users; TCP asks for a password.
# initdb refuses to run as root, so under root the cluster belongs to Debian's "postgres" user.
#
#   start_private_pg_server FOLDER   starts it and exports PGHOST, PGPORT, PGUSER (the superuser) and PGDATABASE
#   stop_private_pg_server FOLDER    stops it at once and removes the folder
PG_BIN=${PG_BIN:-/usr/lib/postgresql/15/bin}

pg_as_owner() {
    if [ "$(id -u)" -eq 0 ]; then
        runuser -u postgres -- "$@"
    else
        "$@"
    fi
}

start_private_pg_server() {
    local dir=$1 port
    mkdir -p "$dir"
    [ "$(id -u)" -eq 0 ] && chown postgres: "$dir"
    port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    pg_as_owner "$PG_BIN/initdb" -D "$dir/data" -U postgres -E UTF8 --locale=C.UTF-8 --no-sync \
        --auth-local=trust --auth-host=scram-sha-256 >"$dir/initdb.log" 2>&1 ||
        { echo "error: initdb failed: $(cat "$dir/initdb.log")" >&2; return 1; }
    pg_as_owner "$PG_BIN/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
        -o "-k '$dir' -p $port -c listen_addresses=127.0.0.1 -c fsync=off -c full_page_writes=off" \
        start >/dev/null ||
        { echo "error: the PostgreSQL server did not start: $(cat "$dir/server.log")" >&2; return 1; }
    export PGHOST=$dir PGPORT=$port PGUSER=postgres PGDATABASE=postgres
}

stop_private_pg_server() {
    local dir=$1
    [ -d "$dir/data" ] && pg_as_owner "$PG_BIN/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1
    rm -rf "$dir"
}
