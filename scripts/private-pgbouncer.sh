# Sourced by the tests and the benchmarks, after private-pg-server.sh: a throw-away PgBouncer in transaction
# pooling mode in a folder of its own, in front of a cluster of start_private_pg_server, as an office would put
# one in front of its server. Clients log in with SCRAM against the secrets the cluster itself holds (copied from
# pg_authid into the auth file when it starts: a role's password is set before), and PgBouncer logs in to the cluster over TCP with the client's own SCRAM keys.
# Every server connection is reset (DISCARD ALL) after each transaction: state a client leaves on a session
# (a SET, a prepared statement) is then always lost, as it is whenever the pool hands the client another backend,
# instead of surviving by chance while the pool is quiet.
# PgBouncer refuses to run as root: under root it runs as Debian's "postgres" user, as the cluster does.
#
#   start_private_pgbouncer FOLDER PG_SOCKET_DIR PG_PORT [MAX_SERVER_CONNECTIONS]
#       starts it on a free 127.0.0.1 port (and a Unix socket in FOLDER); sets PGBOUNCER_PORT
#   stop_private_pgbouncer FOLDER          stops it and removes the folder
PGBOUNCER_BIN=${PGBOUNCER_BIN:-/usr/sbin/pgbouncer}

# The auth file: one line per role with a password, "name" "SCRAM-SHA-256$...", read by the superuser over
# the cluster's socket.
write_private_pgbouncer_auth() {
    local dir=$1 pg_dir=$2 pg_port=$3
    psql -X -q -A -t -v ON_ERROR_STOP=1 -h "$pg_dir" -p "$pg_port" -U postgres -d postgres \
        -c "SELECT format('\"%s\" \"%s\"', replace(rolname, '\"', '\"\"'), rolpassword)
            FROM pg_catalog.pg_authid WHERE rolcanlogin AND rolpassword IS NOT NULL ORDER BY rolname" \
        >"$dir/userlist.txt.new" || return 1
    mv "$dir/userlist.txt.new" "$dir/userlist.txt"
    [ "$(id -u)" -eq 0 ] && chown postgres: "$dir/userlist.txt"
    return 0
}

start_private_pgbouncer() {
    local dir=$1 pg_dir=$2 pg_port=$3 pool_size=${4:-10} port
    mkdir -p "$dir"
    [ "$(id -u)" -eq 0 ] && chown postgres: "$dir"
    port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    write_private_pgbouncer_auth "$dir" "$pg_dir" "$pg_port" ||
        { echo "error: the roles' secrets could not be read from the cluster" >&2; return 1; }
    cat >"$dir/pgbouncer.ini" <<EOF
[databases]
* = host=127.0.0.1 port=$pg_port

[pgbouncer]
listen_addr = 127.0.0.1
listen_port = $port
unix_socket_dir = $dir
auth_type = scram-sha-256
auth_file = $dir/userlist.txt
pool_mode = transaction
server_reset_query = DISCARD ALL
server_reset_query_always = 1
default_pool_size = $pool_size
max_db_connections = $pool_size
max_client_conn = 1000
pidfile = $dir/pgbouncer.pid
logfile = $dir/pgbouncer.log
admin_users = postgres
EOF
    pg_as_owner "$PGBOUNCER_BIN" -d -q "$dir/pgbouncer.ini" ||
        { echo "error: PgBouncer did not start: $(tail -n 5 "$dir/pgbouncer.log" 2>/dev/null)" >&2; return 1; }
    # -d returns once the daemon forked; it listens once the socket is there.
    for _ in $(seq 1 100); do
        [ -S "$dir/.s.PGSQL.$port" ] && { PGBOUNCER_PORT=$port; return 0; }
        sleep 0.05
    done
    echo "error: PgBouncer does not listen: $(tail -n 5 "$dir/pgbouncer.log" 2>/dev/null)" >&2
    return 1
}

stop_private_pgbouncer() {
    local dir=$1 pid
    if [ -f "$dir/pgbouncer.pid" ]; then
        pid=$(cat "$dir/pgbouncer.pid")
        kill -INT "$pid" 2>/dev/null
        for _ in $(seq 1 100); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.05
        done
    fi
    rm -rf "$dir"
}
