# Sourced by lib.sh: the store the end-to-end tests run on, chosen by REMINDER_E2E_STORE: "files" (the default,
# the three SQLite files under the operator's folder), "server" (the operator's three schemas on a throw-away
# PostgreSQL cluster of the test's own) or "pooled" (the same cluster, reached by the pop-up through a throw-away
# PgBouncer in transaction mode over TCP with SCRAM; the tests' own SQL goes to the cluster directly). A database is named by DATA_DB, VISITS_DB, WORK_DB: a file path, or
# a schema name on the server. The tests' SQL quotes every identifier and casts what it compares, so that one
# text reads the same on both.
E2E_STORE=${REMINDER_E2E_STORE:-files}
case "$E2E_STORE" in
files | server | pooled) ;;
*)
    echo "FAIL: REMINDER_E2E_STORE is '$E2E_STORE', not files, server or pooled" >&2
    exit 1
    ;;
esac
# REMINDER_E2E_LAYOUT picks how the store declares its date-times, as the scheduling application's own layout may:
# "plain" (the project's layout: DATETIME on the files, timestamp(0) on the server), "text" (files: TEXT columns
# holding 'YYYY-MM-DD HH:MM:SS') or "zoned" (server: timestamptz(0), the server's own TimeZone UTC while the PC, TZ,
# is elsewhere). The tests' own SQL runs in the PC's zone, and a zoned date-time is printed without its offset.
E2E_LAYOUT=${REMINDER_E2E_LAYOUT:-plain}
case "$E2E_STORE/$E2E_LAYOUT" in
files/plain) E2E_MOMENT_TYPE=DATETIME ;;
server/plain | pooled/plain) E2E_MOMENT_TYPE='timestamp(0)' ;;
files/text) E2E_MOMENT_TYPE=TEXT ;;
server/zoned | pooled/zoned) E2E_MOMENT_TYPE='timestamptz(0)' ;;
*)
    echo "FAIL: REMINDER_E2E_LAYOUT '$E2E_LAYOUT' does not go with REMINDER_E2E_STORE '$E2E_STORE'" >&2
    exit 1
    ;;
esac
# The session settings of the tests' own SQL on the server.
E2E_PG_OPTIONS="-c datestyle=ISO${TZ:+ -c TimeZone=${TZ#:}}"
E2E_PG_DIR=""
# The cluster's copy of each operator's empty layout, by operator.
declare -A E2E_PG_LAYOUTS=()
E2E_PG_PORT=""
E2E_BOUNCER_DIR=""
# The operator's login role on the server: it may change only what the pop-up writes. Through the pooler it
# logs in with a password, as it would from another machine.
E2E_PG_ROLE=operatore
E2E_POOLED_PASSWORD=pooled-secret

source "$REMINDER_SOURCE_DIR/scripts/private-pg-server.sh"
source "$REMINDER_SOURCE_DIR/scripts/private-pgbouncer.sh"
# psql and pg_dump themselves, not Debian's pg_wrapper (a Perl script that picks a version first and doubles the
# cost of each of the hundreds of calls a run).
PATH="$PG_BIN:$PATH"

store_is_server() {
    [ "$E2E_STORE" = server ] || [ "$E2E_STORE" = pooled ]
}

# skip_on_server WHY: true (and says so) for a row that only a file store can have.
skip_on_server() {
    store_is_server || return 1
    echo "SKIP (files only): $1"
}

# The cluster is started by the first store of a test and stopped by store_cleanup.
store_cleanup() {
    if [ -n "$E2E_BOUNCER_DIR" ]; then
        stop_private_pgbouncer "$E2E_BOUNCER_DIR"
        E2E_BOUNCER_DIR=""
    fi
    if [ -n "$E2E_PG_DIR" ]; then
        stop_private_pg_server "$E2E_PG_DIR"
        E2E_PG_DIR=""
        E2E_PG_LAYOUTS=()
    fi
}

start_store_server() {
    [ -n "$E2E_PG_DIR" ] && return 0
    # Short: the socket's path must stay under 107 bytes.
    E2E_PG_DIR=$(mktemp -d /tmp/rp-pg.XXXXXX)
    start_private_pg_server "$E2E_PG_DIR" || fail "the PostgreSQL cluster did not start"
    E2E_PG_PORT=$PGPORT
    if [ "$E2E_STORE" = pooled ]; then
        # The role and its password exist before the pooler copies the cluster's secrets.
        psql -X -q -v ON_ERROR_STOP=1 -c "CREATE ROLE $E2E_PG_ROLE LOGIN PASSWORD '$E2E_POOLED_PASSWORD'" >/dev/null ||
            fail "role $E2E_PG_ROLE"
        E2E_BOUNCER_DIR=$(mktemp -d /tmp/rp-bouncer.XXXXXX)
        start_private_pgbouncer "$E2E_BOUNCER_DIR" "$E2E_PG_DIR" "$E2E_PG_PORT" || fail "PgBouncer did not start"
    fi
    # The pop-up must find its server through the settings alone, not through the environment.
    unset PGHOST PGPORT PGUSER PGDATABASE
}

# server_stop / server_start: the cluster stopped as an administrator would and started again, same port.
server_stop() {
    pg_as_owner "$PG_BIN/pg_ctl" -D "$E2E_PG_DIR/data" -m fast -w -t 60 stop >/dev/null || fail "the server did not stop"
}
server_start() {
    # restart reuses the options of the last start, kept by the server in postmaster.opts.
    pg_as_owner "$PG_BIN/pg_ctl" -D "$E2E_PG_DIR/data" -l "$E2E_PG_DIR/server.log" -w -t 60 restart >/dev/null 2>&1 ||
        fail "the server did not start again: $(tail -n 5 "$E2E_PG_DIR/server.log")"
}

# The server's own zone for the store's database: UTC for the zoned layout, the cluster's (the PC's) otherwise.
server_zone_sql() {
    if [ "$E2E_LAYOUT" = zoned ]; then
        echo "ALTER DATABASE agenda SET TimeZone = 'UTC'"
    else
        echo "SELECT 1"
    fi
}

# The superuser's connection to a database of the test's cluster.
pg_conninfo() {
    echo "host=$E2E_PG_DIR port=$E2E_PG_PORT user=postgres dbname=$1"
}
pg_ident() {
    printf '"%s"' "${1//\"/\"\"}"
}
# pg_run DATABASE SCHEMA [SQL]: SQL (or standard input) in SCHEMA, results as sqlite3 prints them.
pg_run() {
    local db=$1 schema=$2
    shift 2
    local source=(-f -)
    [ $# -ge 1 ] && source=(-c "$1")
    if [ "$E2E_LAYOUT" = zoned ]; then
        pg_run_plain "$db" "$schema" "${source[@]}" |
            sed -E 's/([0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2})[+-][0-9]{2}(:[0-9]{2})?/\1/g'
        return "${PIPESTATUS[0]}"
    fi
    pg_run_plain "$db" "$schema" "${source[@]}"
}
pg_run_plain() {
    PGOPTIONS="$E2E_PG_OPTIONS" psql -X -q -A -t -F '|' -v ON_ERROR_STOP=1 -d "$(pg_conninfo "$1")" \
        -c "SET search_path TO $(pg_ident "$2")" "${@:3}"
}

# The settings' [BASE] and [PATH] sections for OPERATOR, the files under FOLDER or the server.
settings_text() {
    printf '[BASE]\nOPERATORE=%s\n[PATH]\nFILE=%s/\nWORK=%s/\n' "$1" "$2" "$2"
    store_is_server && printf 'SERVER=%s\n' "$SERVER"
    return 0
}

# store_create FOLDER OPERATOR: an empty store (made again from nothing) and its settings file FOLDER/popup.ini
# (SETTINGS), with the sound off.
store_create() {
    STORE="$1"
    OPERATOR="$2"
    rm -rf "$STORE"
    mkdir -p "$STORE"
    SETTINGS="$STORE/popup.ini"
    if store_is_server; then
        start_store_server
        SERVER="host=$E2E_PG_DIR port=$E2E_PG_PORT dbname=agenda user=$E2E_PG_ROLE"
        [ "$E2E_STORE" = pooled ] &&
            SERVER="host=127.0.0.1 port=$PGBOUNCER_PORT dbname=agenda user=$E2E_PG_ROLE password=$E2E_POOLED_PASSWORD"
        DATA_DB="$OPERATOR/DatiQZ"
        VISITS_DB="$OPERATOR/VisiteQZ"
        WORK_DB="$OPERATOR/WorkQZ"
        # The operator's layout is made once per test and copied for every store after the first, file by file: for a
        # database this small that costs a third less than writing the copy through the log.
        local layout=${E2E_PG_LAYOUTS[$OPERATOR]:-}
        if [ -n "$layout" ]; then
            PGOPTIONS="-c client_min_messages=warning" psql -X -q -v ON_ERROR_STOP=1 -d "$(pg_conninfo postgres)" \
                -c "DROP DATABASE IF EXISTS agenda WITH (FORCE)" -c "CREATE DATABASE agenda TEMPLATE $layout STRATEGY FILE_COPY" \
                -c "$(server_zone_sql)" >/dev/null || fail "database agenda"
        else
            PGOPTIONS="-c client_min_messages=warning" psql -X -q -v ON_ERROR_STOP=1 -d "$(pg_conninfo postgres)" \
                -c "DROP DATABASE IF EXISTS agenda WITH (FORCE)" -c "CREATE DATABASE agenda" -c "$(server_zone_sql)" >/dev/null ||
                fail "database agenda"
            local server_layout
            server_layout=$(<"$REMINDER_SOURCE_DIR/data/layout/server.sql")
            # Tables a test makes again are readable by the operator, as the administrator's would be.
            PGOPTIONS="$E2E_PG_OPTIONS" psql -X -q -v ON_ERROR_STOP=1 -v operator="$OPERATOR" -v role="$E2E_PG_ROLE" \
                -f <(printf '%s\n' "${server_layout//timestamp(0)/$E2E_MOMENT_TYPE}") \
                -c "ALTER DEFAULT PRIVILEGES IN SCHEMA $(pg_ident "$DATA_DB") GRANT SELECT ON TABLES TO $E2E_PG_ROLE" \
                -c "ALTER DEFAULT PRIVILEGES IN SCHEMA $(pg_ident "$VISITS_DB") GRANT SELECT ON TABLES TO $E2E_PG_ROLE" \
                -c "ALTER DEFAULT PRIVILEGES IN SCHEMA $(pg_ident "$WORK_DB") GRANT SELECT ON TABLES TO $E2E_PG_ROLE" \
                -d "$(pg_conninfo agenda)" >/dev/null || fail "server layout for '$OPERATOR'"
            layout="layout_${#E2E_PG_LAYOUTS[@]}"
            psql -X -q -v ON_ERROR_STOP=1 -d "$(pg_conninfo postgres)" -c "CREATE DATABASE $layout TEMPLATE agenda" >/dev/null ||
                fail "copy of the layout for '$OPERATOR'"
            E2E_PG_LAYOUTS[$OPERATOR]=$layout
        fi
    else
        mkdir -p "$STORE/$OPERATOR"
        DATA_DB="$STORE/$OPERATOR/DatiQZ.mdb"
        VISITS_DB="$STORE/$OPERATOR/VisiteQZ.mdb"
        WORK_DB="$STORE/$OPERATOR/WorkQZ.mdb"
        local db layout_sql
        for db in DatiQZ VisiteQZ WorkQZ; do
            layout_sql=$(<"$REMINDER_SOURCE_DIR/data/layout/$db.sql")
            sqlite3 "$STORE/$OPERATOR/$db.mdb" <<<"${layout_sql// DATETIME/ $E2E_MOMENT_TYPE}"
        done
    fi
    { settings_text "$OPERATOR" "$STORE" && printf '[AGENDA]\nSuonoSN=N\n'; } >"$SETTINGS"
}

# store_sql DATABASE [SQL]: SQL (or standard input) run on one of the store's databases; rows printed as
# sqlite3 prints them ("|" between fields, NULL as nothing).
store_sql() {
    if store_is_server; then
        pg_run agenda "$@"
    else
        # A write of the pop-up or a look of the watcher may hold the file for a moment: wait for it, as the
        # scheduling application does.
        sqlite3 -bail -cmd ".timeout 5000" "$@"
    fi
}

# store_sql_each DATABASE SQL [DATABASE SQL]...: store_sql on each database in turn; on the server in one session.
store_sql_each() {
    if store_is_server; then
        local script=""
        while [ $# -ge 2 ]; do
            script+="SET search_path TO $(pg_ident "$1");"$'\n'"$2"$'\n'
            shift 2
        done
        pg_run agenda public "$script"
    else
        while [ $# -ge 2 ]; do
            store_sql "$1" "$2" || return
            shift 2
        done
    fi
}

# Every table and row of the store, in an order that does not depend on where a row was written. A missing file
# is not created: it says so.
store_dump() {
    if store_is_server; then
        pg_dump_sorted agenda
    else
        local db
        for db in "$DATA_DB" "$VISITS_DB" "$WORK_DB"; do
            sqlite3 -readonly -cmd ".timeout 5000" "$db" .dump 2>&1 || true
        done
    fi
}
# On the server: each schema, table, column, constraint and index with its grants, and every row as an INSERT line,
# in one query (pg_dump takes a score of them and twice the time, and rows run in the hundreds).
PG_STORE_DUMP_SQL="
WITH tables AS (
    SELECT c.oid, n.nspname, c.relname, c.relacl FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace
    WHERE c.relkind IN ('r', 'p') AND n.nspname <> 'information_schema' AND n.nspname NOT LIKE 'pg\\_%')
SELECT format('SCHEMA %I OWNER %s GRANT %s', nspname, pg_get_userbyid(nspowner), nspacl) FROM pg_namespace
    WHERE nspname <> 'information_schema' AND nspname NOT LIKE 'pg\\_%'
UNION ALL SELECT format('TABLE %I.%I GRANT %s', nspname, relname, relacl) FROM tables
UNION ALL SELECT format('COLUMN %I.%I.%I %s NOT NULL %s DEFAULT %s GRANT %s', t.nspname, t.relname, a.attname,
        format_type(a.atttypid, a.atttypmod), a.attnotnull, pg_get_expr(d.adbin, d.adrelid), a.attacl)
    FROM tables t JOIN pg_attribute a ON a.attrelid = t.oid AND a.attnum > 0 AND NOT a.attisdropped
    LEFT JOIN pg_attrdef d ON d.adrelid = a.attrelid AND d.adnum = a.attnum
UNION ALL SELECT format('CONSTRAINT %I.%I.%I %s', t.nspname, t.relname, k.conname, pg_get_constraintdef(k.oid))
    FROM tables t JOIN pg_constraint k ON k.conrelid = t.oid
UNION ALL SELECT pg_get_indexdef(i.indexrelid) FROM tables t JOIN pg_index i ON i.indrelid = t.oid
UNION ALL SELECT format('INSERT INTO %I.%I VALUES %s', t.nspname, t.relname, r) FROM tables t,
    unnest(xpath('/table/row/r/text()',
        query_to_xml(format('SELECT t::text AS r FROM %I.%I t', t.nspname, t.relname), false, false, ''))) AS r"
pg_dump_sorted() {
    PGOPTIONS="$E2E_PG_OPTIONS" psql -X -q -A -t -v ON_ERROR_STOP=1 -d "$(pg_conninfo "$1")" -c "$PG_STORE_DUMP_SQL" | LC_ALL=C sort
}

# store_snapshot DIR: a copy of the store, to be changed with snapshot_sql into the expected state.
store_snapshot() {
    if store_is_server; then
        psql -X -q -v ON_ERROR_STOP=1 -d "$(pg_conninfo postgres)" -c "CREATE DATABASE $(snapshot_database "$1") TEMPLATE agenda" ||
            fail "snapshot of the store"
    else
        mkdir -p "$1"
        cp "$DATA_DB" "$1/DatiQZ.mdb"
        cp "$VISITS_DB" "$1/VisiteQZ.mdb"
        cp "$WORK_DB" "$1/WorkQZ.mdb"
    fi
}
snapshot_database() {
    echo "snapshot_$(basename "$1" | tr -c 'a-zA-Z0-9\n' _)"
}
# snapshot_sql DIR DatiQZ|VisiteQZ|WorkQZ [SQL]: store_sql on the snapshot's copy of that database.
snapshot_sql() {
    if store_is_server; then
        pg_run "$(snapshot_database "$1")" "$OPERATOR/$2" "${@:3}"
    else
        sqlite3 -bail "$1/$2.mdb" "${@:3}"
    fi
}
# snapshot_dump DIR: every row of a snapshot, in the form store_dump gives for the live store.
snapshot_dump() {
    if store_is_server; then
        pg_dump_sorted "$(snapshot_database "$1")"
    else
        sqlite3 "$1/DatiQZ.mdb" .dump
        sqlite3 "$1/VisiteQZ.mdb" .dump
        sqlite3 "$1/WorkQZ.mdb" .dump
    fi
}

# store_damage DATABASE...: nothing to say on the server (its own business); on files, PRAGMA integrity_check,
# with the file opened read-only so that it is never created. Prints what is wrong, if anything.
store_damage() {
    store_is_server && return 0
    local db result
    for db in "$@"; do
        result=$(sqlite3 -readonly "$db" 'PRAGMA integrity_check;' 2>&1) || { echo "integrity check could not run on $db: $result"; continue; }
        [ "$result" = "ok" ] || echo "integrity of $db: $result"
    done
}

# sql_text TEXT: TEXT as the inside of an SQL string literal.
sql_text() {
    printf '%s' "${1//\'/\'\'}"
}

# store_use_own_key_layout: Promemoria made again as the scheduling application may lay it out, its key columns
# named otherwise ($PM_CLIENT, $PM_WHEN, $PM_ACTION) and placed among the other fields in another order, under a
# key of its own name: only the table's own key says which they are.
PM_CLIENT=PmCodCliente
PM_WHEN=PmIstante
PM_ACTION=PmCodAzione
store_use_own_key_layout() {
    local moment=$E2E_MOMENT_TYPE table='"Promemoria"' grant=""
    if store_is_server; then
        table="$(pg_ident "$WORK_DB").\"Promemoria\""
        grant="GRANT SELECT, UPDATE (\"PmAllarm\", \"PmWait\"), DELETE ON $table TO $E2E_PG_ROLE;"
    fi
    store_sql "$WORK_DB" "DROP TABLE \"Promemoria\";
        CREATE TABLE $table (\"PmDocumento\" text, \"$PM_ACTION\" text NOT NULL, \"PmAllarm\" $moment,
            \"$PM_WHEN\" $moment NOT NULL, \"PmWait\" text, \"$PM_CLIENT\" integer NOT NULL,
            CONSTRAINT \"chiave_promemoria\" PRIMARY KEY (\"$PM_CLIENT\", \"$PM_WHEN\", \"$PM_ACTION\"));
        CREATE INDEX \"promemoria_allarme\" ON $table (\"PmAllarm\");
        $grant" >/dev/null || fail "Promemoria in the scheduling application's own layout"
}
