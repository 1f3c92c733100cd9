#!/usr/bin/env bash
# ctest fixture: starts (or stops) the throw-away PostgreSQL cluster that the in-process server tests share.
# The state file holds the cluster's folder on its first line and the superuser's connection string on the second.
#
#   pg-cluster-fixture.sh start|stop STATE-FILE
set -euo pipefail
: "${REMINDER_SOURCE_DIR:?path of the project}"
source "$REMINDER_SOURCE_DIR/scripts/private-pg-server.sh"
action=$1 state=$2

stop_recorded_cluster() {
    if [ -f "$state" ]; then
        stop_private_pg_server "$(head -n 1 "$state")"
        rm -f "$state"
    fi
}

case "$action" in
start)
    stop_recorded_cluster
    # A short folder: the server's socket path must stay under the system's limit of 107 bytes.
    dir=$(mktemp -d /tmp/rp-pg.XXXXXX)
    start_private_pg_server "$dir"
    printf '%s\nhost=%s port=%s user=postgres dbname=postgres\n' "$dir" "$PGHOST" "$PGPORT" >"$state"
    ;;
stop) stop_recorded_cluster ;;
*)
    echo "usage: $0 start|stop STATE-FILE" >&2
    exit 2
    ;;
esac
