#!/usr/bin/env bash
# Creates a demo store for the reminder pop-up: the three SQLite databases of one operator, made from the
# project's layout files, a settings file and a demo document, with one appointment that fell due a few
# minutes ago (or, with --in-time, that falls due in an hour). Prints the command line that shows its reminder.
#
#   scripts/make-demo-store.sh [--force] [--in-time] FOLDER [OPERATOR]
set -euo pipefail

usage() {
    echo "usage: $(basename "$0") [--force] [--in-time] FOLDER [OPERATOR]" >&2
    exit 2
}

force=0
in_time=0
args=()
for arg in "$@"; do
    case "$arg" in
    --force) force=1 ;;
    --in-time) in_time=1 ;;
    -h | --help) usage ;;
    *) args+=("$arg") ;;
    esac
done
[ ${#args[@]} -ge 1 ] && [ ${#args[@]} -le 2 ] || usage
folder_arg=${args[0]}
operator=${args[1]:-DEMO}

command -v sqlite3 >/dev/null || { echo "error: the sqlite3 command-line tool is needed (apt-get install sqlite3)" >&2; exit 1; }

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
for file in "${databases[@]}" "$settings"; do
    [ -e "$file" ] && existing+=("$file")
done
if [ ${#existing[@]} -gt 0 ]; then
    if [ "$force" -eq 0 ]; then
        echo "error: a store already exists here, nothing was changed (use --force to replace it):" >&2
        printf '  %s\n' "${existing[@]}" >&2
        exit 1
    fi
    for file in "${databases[@]}"; do
        rm -f -- "$file" "$file-journal" "$file-wal" "$file-shm"
    done
fi

mkdir -p -- "$store"

# Built under temporary names and moved into place at the end, so that a failure leaves no half-made store.
building=()
for file in "${databases[@]}"; do
    building+=("$file.new-$$")
done
trap 'rm -f -- "${building[@]}"' EXIT

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

sqlite3 -bail "${building[0]}" <<SQL
$(cat "$layout_dir/DatiQZ.sql")
INSERT INTO Clienti (CliCodice, CliRagsoc, CliRagsocEstesa)
    VALUES (57, 'ROSSI SRL', 'ROSSI IMPIANTI ELETTRICI SRL');
SQL

sqlite3 -bail "${building[1]}" <<SQL
$(cat "$layout_dir/VisiteQZ.sql")
INSERT INTO TabAzioni (TbaCodice, TbaDescrizione, TbaColore) VALUES ('MAN', 'MANUTENZIONE ORDINARIA', 255);
INSERT INTO Appuntamenti (ApCliente, ApData, ApAzione, ApNote, ApCausa, ApAllarm)
    VALUES (57, '$due_store', 'MAN', 'Controllo caldaia e verifica impianto', 'MANUTENZIONE', 15);
SQL

sqlite3 -bail "${building[2]}" <<SQL
$(cat "$layout_dir/WorkQZ.sql")
INSERT INTO Promemoria (PmCliente, PmData, PmAzione, PmDocumento, PmAllarm, PmWait)
    VALUES (57, '$due_store', 'MAN', $(sql_text "$document"), '$alarm_store', NULL);
SQL

cat >"$settings" <<INI
[BASE]
OPERATORE=$operator

[PATH]
FILE=$folder/
WORK=$folder/

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

for i in 0 1 2; do
    mv -f -- "${building[$i]}" "${databases[$i]}"
done

request="$settings|0|57|MAN|$due_launch"
echo "Demo store created in $folder (operator $operator)."
echo "Show the reminder with:"
if [[ "$request" == *[\"\$\`\\!]* ]]; then
    printf "  reminder-popup '%s'\n" "${request//\'/\'\\\'\'}"
else
    printf '  reminder-popup "%s"\n' "$request"
fi
