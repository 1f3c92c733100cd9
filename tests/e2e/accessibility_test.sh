#!/usr/bin/env bash
# What a screen reader gets from the running program: the window's one-sentence description and the names and
# texts of its controls, read over the desktop's accessibility bus (AT-SPI) from a separate process.
source "$(dirname "$0")/lib.sh"

# Debian's interpreter: the AT-SPI bindings are Debian packages and another python3 earlier on PATH lacks them.
PYTHON=/usr/bin/python3
ATSPI_LAUNCHER=""
for candidate in /usr/libexec/at-spi-bus-launcher /usr/lib/at-spi2-core/at-spi-bus-launcher; do
    [ -x "$candidate" ] && ATSPI_LAUNCHER=$candidate && break
done
[ -n "$ATSPI_LAUNCHER" ] || fail "at-spi-bus-launcher not found (package at-spi2-core)"
command -v dbus-daemon >/dev/null || fail "dbus-daemon not found (package dbus)"
"$PYTHON" -c 'import pyatspi' 2>/dev/null || fail "$PYTHON cannot import pyatspi (package python3-pyatspi)"

# Each bus runs in a process group of its own, so that the services it starts on demand end with it.
SESSION_BUS_PID=""
ATSPI_PID=""
a11y_cleanup() {
    local status=$?
    stop_popup
    for group in $ATSPI_PID $SESSION_BUS_PID; do
        kill -- "-$group" 2>/dev/null || true
        wait "$group" 2>/dev/null || true
    done
    e2e_cleanup "$status"
}
trap a11y_cleanup EXIT

start_xserver

source "$REMINDER_SOURCE_DIR/scripts/private-session-bus.sh"
start_private_session_bus "$E2E_TMP" || fail "no session bus"

setsid "$ATSPI_LAUNCHER" --launch-immediately >"$E2E_TMP/atspi.log" 2>&1 &
ATSPI_PID=$!
atspi_address=""
for _ in $(seq 1 100); do
    atspi_address=$(dbus-send --session --print-reply=literal --dest=org.a11y.Bus /org/a11y/bus \
        org.a11y.Bus.GetAddress 2>/dev/null | tr -d ' ' || true)
    [ -n "$atspi_address" ] && break
    kill -0 "$ATSPI_PID" 2>/dev/null || fail "at-spi-bus-launcher ended: $(cat "$E2E_TMP/atspi.log")"
    nap 0.05
done
[ -n "$atspi_address" ] || fail "the accessibility bus did not start"

make_store "mario rossi"
add_overdue_reminder
due_date=$(date -d "$due_store" '+%d/%m/%y')
due_time=$(date -d "$due_store" '+%H:%M')

# Qt only exposes its widgets on the bus when asked to, or when a screen reader is announced as running.
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1
launch_popup "$STORE/popup.ini|0|57|MAN|$due_line"
window=$(wait_window '^APP\. ')

expected_description="Promemoria: cliente 57 ROSSI SRL >ROSSI IMPIANTI, intervento MAN, Controllo caldaia, \
appuntamento del $due_date alle ore $due_time, SCADUTO."

# The reader walks the tree from the desktop down, finds the program by its process id and checks what a
# screen reader would announce; every mismatch is listed, not just the first.
timeout 60 "$PYTHON" - "$E2E_POPUP_PID" "$expected_description" "$due_date" "$due_time" \
    >"$E2E_TMP/atspi-read.out" 2>&1 <<'PY' || fail "AT-SPI reading: $(cat "$E2E_TMP/atspi-read.out")"
import sys
import time

import pyatspi

pid, expected_description, due_date, due_time = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]


def find_application():
    deadline = time.monotonic() + 20
    while time.monotonic() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            try:
                if app is not None and app.get_process_id() == pid:
                    return app
            except Exception:
                pass
        time.sleep(0.1)
    sys.exit(f"no application with process id {pid} on the accessibility bus")


def descendants(node):
    for child in node:
        if child is None:
            continue
        yield child
        yield from descendants(child)


def text_of(node):
    try:
        text = node.queryText()
    except NotImplementedError:
        return None
    return text.getText(0, text.characterCount)


app = find_application()
frames = [child for child in app if child is not None and child.getRole() == pyatspi.ROLE_FRAME]
if len(frames) != 1:
    sys.exit(f"expected one frame, found {len(frames)}: {[f.name for f in frames]}")
frame = frames[0]

problems = []
if frame.description != expected_description:
    problems.append(f"window description {frame.description!r}, expected {expected_description!r}")
if not frame.name.startswith("APP. "):
    problems.append(f"window name {frame.name!r}")

by_name = {}
for node in descendants(frame):
    by_name.setdefault(node.name, []).append(node)
# Every control of the window has a name; the unit list's closed pop-up inside the combo box is Qt's own.
for node in frame:
    if node is not None and not node.name:
        problems.append(f"a {node.getRoleName()} without a name")


def control(name, role):
    nodes = [n for n in by_name.get(name, []) if n.getRole() == role]
    if len(nodes) != 1:
        problems.append(f"expected one {pyatspi.Role(role)} named {name!r}, found {len(nodes)}")
        return None
    return nodes[0]


def expect_text(name, role, expected):
    node = control(name, role)
    if node is not None and text_of(node) != expected:
        problems.append(f"{name!r} reads {text_of(node)!r}, expected {expected!r}")
    return node


# The captions read as they are; each field is named after the caption it stands beside, with the value it shows
# (Qt's labels reach the bus by name only, not by text).
for caption in ("Cliente", "Intervento", "Appuntamento del", "alle ore", "Riavvisa tra", "SCADUTO"):
    control(caption, pyatspi.ROLE_LABEL)
control("Cliente, codice: 57", pyatspi.ROLE_LABEL)
control("Cliente, nome: ROSSI SRL >ROSSI IMPIANTI", pyatspi.ROLE_LABEL)
control("Intervento, codice: MAN", pyatspi.ROLE_LABEL)
control("Intervento, descrizione: Controllo caldaia", pyatspi.ROLE_LABEL)
control(f"Appuntamento del: {due_date}", pyatspi.ROLE_LABEL)
control(f"alle ore: {due_time}", pyatspi.ROLE_LABEL)
overdue = control("SCADUTO", pyatspi.ROLE_LABEL)
if overdue is not None and not overdue.getState().contains(pyatspi.STATE_SHOWING):
    problems.append("the SCADUTO label is not showing")
expect_text("Riavvisa tra", pyatspi.ROLE_TEXT, "15")
units = [n for n in descendants(frame) if n.getRole() == pyatspi.ROLE_COMBO_BOX]
if len(units) != 1 or units[0].name != "minuti" or units[0].description != "Riavvisa tra, unità":
    problems.append(f"unit list: {[(n.name, n.description) for n in units]}")
for button in ("POSTICIPA AVVISO", "NON AVVISARE PIU'", "Documento"):
    control(button, pyatspi.ROLE_PUSH_BUTTON)

if problems:
    sys.exit("\n".join(problems))
print(f"description: {frame.description}")
PY

"$X11_CLOSE_WINDOW" "$window"
wait_popup_end
[ "$POPUP_STATUS" = 0 ] || fail "exit status $POPUP_STATUS after closing the window"
echo "PASS: $(cat "$E2E_TMP/atspi-read.out")"
