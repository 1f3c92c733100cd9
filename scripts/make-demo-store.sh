#!/usr/bin/env bash
# Creates a demo store for the reminder pop-up: the three SQLite databases of one operator, made from the
# project's layout files, a settings file and a demo document, with one appointment that fell due a few
# minutes ago (or, with --in-time, that falls due in an hour). Prints the command line that shows its reminder.
# With --server, the three databases are the operator's schemas on a PostgreSQL server instead: CONNECTION is a
# keyword/value libpq connection string of a role that may create schemas and roles there (the operator's own
# login role, named as the operator, is created and granted what the pop-up needs); FOLDER then holds only the
# settings file and the document.
#
#   scripts/make-demo-store.sh [--force] [--in-time] [--server CONNECTION] FOLDER [OPERATOR]
set -euo pipefail

usage() {
    echo "usage: $(basename "$0") [--force] [--in-time] [--server CONNECTION] FOLDER [OPERATOR]" >&2
    exit 2
}

force=0
in_time=0
server=""
args=()
while [ $# -gt 0 ]; do
    case "$1" in
    --force) force=1 ;;
    --in-time) in_time=1 ;;
    --server)
        [ $# -ge 2 ] && [ -n "$2" ] || usage
        server=$2
        shift
        ;;
    -h | --help) usage ;;
    *) args+=("$1") ;;
    esac
    shift
done
[ ${#args[@]} -ge 1 ] && [ ${#args[@]} -le 2 ] || usage
folder_arg=${args[0]}
operator=${args[1]:-DEMO}

if [ -n "$server" ]; then
    command -v psql >/dev/null || { echo "error: the psql client is needed (apt-get install postgresql-client)" >&2; exit 1; }
else
    command -v sqlite3 >/dev/null || { echo "error: the sqlite3 command-line tool is needed (apt-get install sqlite3)" >&2; exit 1; }
fi

layout_dir="$(cd "$(dirname "$0")/.." && pwd)/data/layout"

# The operator becomes a sub-folder name and a settings value read up to a TAB or " ;".
if [ -z "${operator//[[:space:]]/}" ] || [[ "$operator" == */* || "$operator" == *$'\t'* || "$operator" == *" ;"* ]]; then
    echo "error: unusable operator name: '$operator'" >&2
    exit 1
fi

mkdir -p -- "$folder_arg"
folder="$(cd -- "$folder_arg" && pwd)"

# The settings reader keeps at most 99 characters of a value and cuts it at a TAB or " ;"; the launch request
# separates its fields with "|" and has no escaping.
if [ ${#folder} -gt 98 ]; then
    echo "error: folder path longer than 98 characters, the settings file could not hold it: $folder" >&2
    exit 1
fi
if [[ "$folder" == *"|"* || "$folder" == *$'\t'* || "$folder" == *" ;"* || "$folder" == *$'\n'* ]]; then
    echo "error: the folder path may not contain '|', a TAB, a line break or ' ;': $folder" >&2
    exit 1
fi

store="$folder/$operator"
settings="$folder/popup.ini"
document="$folder/documento-demo.txt"
databases=("$store/DatiQZ.mdb" "$store/VisiteQZ.mdb" "$store/WorkQZ.mdb")

existing=()
for file in "$settings" $([ -z "$server" ] && printf '%s\n' "${databases[@]}"); do
    [ -e "$file" ] && existing+=("$file")
done
if [ ${#existing[@]} -gt 0 ] && [ "$force" -eq 0 ]; then
    echo "error: a store already exists here, nothing was changed (use --force to replace it):" >&2
    printf '  %s\n' "${existing[@]}" >&2
    exit 1
fi

# SQL text literal: single quotes doubled.
sql_text() {
    local quoted=${1//\'/\'\'}
    printf "'%s'" "$quoted"
}

# Whole minutes, a few minutes ago, local time: the appointment is already overdue when the window shows.
# In time: an hour from now, so the window stays green however long it is left open.
now=$(date +%s)
due=$((now - 300 - now % 60))
[ "$in_time" -eq 1 ] && due=$((now + 3600 - now % 60))
due_store=$(date -d "@$due" '+%Y-%m-%d %H:%M:%S')
due_launch=$(date -d "@$due" '+%d/%m/%Y %H:%M:%S')
alarm_store=$(date -d "@$((due - 15 * 60))" '+%Y-%m-%d %H:%M:%S')

# The same rows for both stores: quoted names are what the server's mixed-case tables need, and SQLite takes them.
data_rows="INSERT INTO \"Clienti\" (\"CliCodice\", \"CliRagsoc\", \"CliRagsocEstesa\")
    VALUES (57, 'ROSSI SRL', 'ROSSI IMPIANTI ELETTRICI SRL');"
visits_rows="INSERT INTO \"TabAzioni\" (\"TbaCodice\", \"TbaDescrizione\", \"TbaColore\")
    VALUES ('MAN', 'MANUTENZIONE ORDINARIA', 255);
INSERT INTO \"Appuntamenti\" (\"ApCliente\", \"ApData\", \"ApAzione\", \"ApNote\", \"ApCausa\", \"ApAllarm\")
    VALUES (57, '$due_store', 'MAN', 'Controllo caldaia e verifica impianto', 'MANUTENZIONE', 15);"
work_rows="INSERT INTO \"Promemoria\" (\"PmCliente\", \"PmData\", \"PmAzione\", \"PmDocumento\", \"PmAllarm\", \"PmWait\")
    VALUES (57, '$due_store', 'MAN', $(sql_text "$document"), '$alarm_store', NULL);"

if [ -n "$server" ]; then
    # One transaction: a failure leaves no half-made schemas; --force replaces the operator's schemas.
    replace=""
    if [ "$force" -eq 1 ]; then
        replace='DROP SCHEMA IF EXISTS :"data_schema", :"visits_schema", :"work_schema" CASCADE;'
    fi
    psql -q -X -v ON_ERROR_STOP=1 -v operator="$operator" -v role="$operator" -d "$server" <<SQL >/dev/null
\\set data_schema :operator '/DatiQZ'
\\set visits_schema :operator '/VisiteQZ'
\\set work_schema :operator '/WorkQZ'
SET client_min_messages = warning;
BEGIN;
$replace
$(sed -e '/^BEGIN;$/d' -e '/^COMMIT;$/d' "$layout_dir/server.sql")
SET search_path TO :"data_schema";
$data_rows
SET search_path TO :"visits_schema";
$visits_rows
SET search_path TO :"work_schema";
$work_rows
COMMIT;
SQL
    server_key="SERVER=$server user='${operator//\'/\\\'}'"
    folder_keys=""
else
    for file in "${databases[@]}"; do
        rm -f -- "$file" "$file-journal" "$file-wal" "$file-shm"
    done
    mkdir -p -- "$store"
    # Built under temporary names and moved into place at the end, so that a failure leaves no half-made store.
    building=()
    for file in "${databases[@]}"; do
        building+=("$file.new-$$")
    done
    trap 'rm -f -- "${building[@]}"' EXIT
    printf '%s\n%s\n' "$(cat "$layout_dir/DatiQZ.sql")" "$data_rows" | sqlite3 -bail "${building[0]}"
    printf '%s\n%s\n' "$(cat "$layout_dir/VisiteQZ.sql")" "$visits_rows" | sqlite3 -bail "${building[1]}"
    printf '%s\n%s\n' "$(cat "$layout_dir/WorkQZ.sql")" "$work_rows" | sqlite3 -bail "${building[2]}"
    for i in 0 1 2; do
        mv -f -- "${building[$i]}" "${databases[$i]}"
    done
    server_key=""
    folder_keys="FILE=$folder/
WORK=$folder/"
fi

cat >"$settings" <<INI
[BASE]
OPERATORE=$operator

[PATH]
$folder_keys$server_key

[AGENDA]
SuonoSN=N
SuonoPath=
SuonoFile=
SuonoExt=wav
INI

cat >"$document" <<TXT
ROSSI IMPIANTI ELETTRICI SRL
Intervento MAN - MANUTENZIONE ORDINARIA del $due_launch

Controllo caldaia e verifica impianto.
TXT

request="$settings|0|57|MAN|$due_launch"
if [ -n "$server" ]; then
    echo "Demo store created on the server, schemas $operator/DatiQZ, $operator/VisiteQZ, $operator/WorkQZ; settings in $folder."
else
    echo "Demo store created in $folder (operator $operator)."
fi
echo "Show the reminder with:"
if [[ "$request" == *[\"\$\`\\!]* ]]; then
    printf "  reminder-popup '%s'\n" "${request//\'/\'\\\'\'}"
else
    printf '  reminder-popup "%s"\n' "$request"
fi
