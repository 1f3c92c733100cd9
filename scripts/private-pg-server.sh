# Sourced by the tests and the demo: a throw-away PostgreSQL 15 cluster in a folder of its own, listening on a
# Unix socket in that folder and on 127.0.0.1 only. The socket trusts local users; TCP asks for a password.
# initdb refuses to run as root, so under root the cluster belongs to Debian's "postgres" user.
#
#   start_private_pg_server FOLDER   starts it and exports PGHOST, PGPORT, PGUSER (the superuser) and PGDATABASE
#   stop_private_pg_server FOLDER    stops it at once and removes the folder
#
# With PG_TEMPLATE_DIR set, a new cluster is a copy of one that initdb made once in that folder: initdb takes
# seconds, the copy a tenth of one, and the tests start a cluster for every script.
PG_BIN=${PG_BIN:-/usr/lib/postgresql/15/bin}

pg_as_owner() {
    if [ "$(id -u)" -eq 0 ]; then
        runuser -u postgres -- "$@"
    else
        "$@"
    fi
}

# pg_own_folder FOLDER: makes FOLDER, writable by the cluster's owner.
pg_own_folder() {
    mkdir -p "$1"
    if [ "$(id -u)" -eq 0 ]; then chown postgres: "$1"; fi
}

# pg_initdb FOLDER: a new cluster in FOLDER/data, initdb's output in FOLDER/initdb.log.
pg_initdb() {
    pg_as_owner "$PG_BIN/initdb" -D "$1/data" -U postgres -E UTF8 --locale=C.UTF-8 --no-sync \
        --auth-local=trust --auth-host=scram-sha-256 >"$1/initdb.log" 2>&1 ||
        { echo "error: initdb failed: $(cat "$1/initdb.log")" >&2; return 1; }
}

# pg_new_data FOLDER: FOLDER/data made by initdb, or copied from the template (made first when missing). The
# template may lie where the cluster's owner cannot reach (a build tree under root's home): only its copies, in
# folders the owner can reach, are ever run, and copying as root keeps the owner.
pg_new_data() {
    local scratch made
    if [ -z "${PG_TEMPLATE_DIR:-}" ]; then
        pg_initdb "$1"
        return
    fi
    if [ ! -d "$PG_TEMPLATE_DIR/data" ]; then
        mkdir -p "$PG_TEMPLATE_DIR"
        scratch=$(mktemp -d /tmp/rp-pg-template.XXXXXX)
        made=$(mktemp -d "$PG_TEMPLATE_DIR/new.XXXXXX")
        pg_own_folder "$scratch"
        pg_initdb "$scratch" && cp -a "$scratch/data" "$made/data" ||
            { rm -rf "$scratch" "$made"; return 1; }
        # Renamed into place whole, so that a script starting alongside finds no template or a complete one; when
        # another got there first the rename fails and its template, made the same way, is used.
        mv -T "$made/data" "$PG_TEMPLATE_DIR/data" 2>/dev/null || true
        rm -rf "$scratch" "$made"
    fi
    cp -a "$PG_TEMPLATE_DIR/data" "$1/data" ||
        { echo "error: the cluster could not be copied from $PG_TEMPLATE_DIR/data" >&2; return 1; }
}

start_private_pg_server() {
    local dir=$1 port
    pg_own_folder "$dir"
    port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    pg_new_data "$dir" || return 1
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
