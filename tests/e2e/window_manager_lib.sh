# Sourced after lib.sh by the end-to-end tests that run the window under a real window manager inside the
# test's private X server. The window managers get settings folders of their own under the test's folder, so
# that neither the user's settings nor an earlier run's change what they do; xfwm4 reads its settings over D-Bus
# and gets a private session bus, which only it is pointed at.
#
#   start_window_manager NAME    none, xfwm4, openbox, kwin_x11, mutter, kwin_wayland or sway; returns once it
#                                manages windows. mutter and kwin_wayland are Wayland compositors with their
#                                Xwayland: DISPLAY, XAUTHORITY and WAYLAND_DISPLAY point at it until it stops.
#                                sway runs with Wayland alone, as an
#                                unprivileged user (it refuses root): WAYLAND_DISPLAY and SWAYSOCK point at it and
#                                DISPLAY is unset until it stops
#   stop_window_manager          ends it and waits until it is gone (false when it is not), the test's own X
#                                server the display again; the session bus ends with the test
#   sway_window TITLE-REGEX      "shell x y width height" of sway's window with that title, empty while none
#   start_other_window           another program's window (xmessage), sets E2E_OTHER_WINDOW
#   activate_other_window        makes it the active window (the input focus without a window manager)
#   stop_other_window
#   frame_extents WINDOW         "left right top bottom" as the window manager set them, empty before
#   is_managed WINDOW            true once the window manager has framed the window
#   is_active WINDOW             true while it is the window manager's active window
#   poll SECONDS COMMAND...      true once COMMAND succeeds, false when it has not within SECONDS

source "$REMINDER_SOURCE_DIR/scripts/private-session-bus.sh"

E2E_WM_PID=""
E2E_WM_NAME=none
E2E_OTHER_PID=""
E2E_OTHER_WINDOW=""
E2E_WM_HOME="$E2E_TMP/wm-home"
mkdir -p "$E2E_WM_HOME/config" "$E2E_WM_HOME/cache" "$E2E_WM_HOME/data"
wm_settings=(XDG_CONFIG_HOME="$E2E_WM_HOME/config" XDG_CACHE_HOME="$E2E_WM_HOME/cache"
    XDG_DATA_HOME="$E2E_WM_HOME/data")
E2E_WM_BUS_PID=""
wm_bus_address=""
# The test's own X server while a compositor's display stands in for it.
E2E_XVFB_DISPLAY=""
# Whether the window manager's process leads a group of its own (a compositor with its Xwayland and bus).
E2E_WM_GROUP=""
# The unprivileged user sway runs as, and its folder: outside the test's own, which that user cannot enter.
E2E_SWAY_UID=65534
E2E_SWAY_HOME=""

poll() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        nap 0.05
    done
}

# wm_check_window XPROP-WINDOW-ARGUMENTS: the window that the window's _NET_SUPPORTING_WM_CHECK names, if any.
wm_check_window() {
    xprop "$@" -notype 32x ' $0' _NET_SUPPORTING_WM_CHECK 2>/dev/null | awk 'NF == 2 { print $2 }'
}

# A window manager manages windows once its check window names itself; the root property of one that has
# ended names a window that is gone, or soon will be.
window_manager_running() {
    local check
    check=$(wm_check_window -root)
    [ -n "$check" ] && [ "$(wm_check_window -id "$check")" = "$check" ]
}

# Its address and process stay out of the variables a test's own session bus would use.
start_wm_session_bus() {
    [ -z "$E2E_WM_BUS_PID" ] || return 0
    local -x "${wm_settings[@]}"
    local SESSION_BUS_PID DBUS_SESSION_BUS_ADDRESS
    start_private_session_bus "$E2E_WM_HOME"
    wm_bus_address=$DBUS_SESSION_BUS_ADDRESS
    E2E_WM_BUS_PID=$SESSION_BUS_PID
}

start_window_manager() {
    local name=$1
    E2E_WM_NAME=$name
    case "$name" in
    none) return 0 ;;
    xfwm4)
        start_wm_session_bus
        env "${wm_settings[@]}" DBUS_SESSION_BUS_ADDRESS="$wm_bus_address" \
            xfwm4 --compositor=off --sm-client-disable >"$E2E_TMP/wm-$name.log" 2>&1 &
        ;;
    openbox) env "${wm_settings[@]}" openbox --sm-disable >"$E2E_TMP/wm-$name.log" 2>&1 & ;;
    mutter) start_mutter && return 0 ;;
    kwin_x11 | kwin_wayland) start_kwin "${name#kwin_}" && return 0 ;;
    sway) start_sway && return 0 ;;
    *) fail "unknown window manager '$name'" ;;
    esac
    E2E_WM_PID=$!
    poll 10 window_manager_running || fail "$name did not start managing windows: $(cat "$E2E_TMP/wm-$name.log")"
    kill -0 "$E2E_WM_PID" 2>/dev/null || fail "$name ended at start: $(cat "$E2E_TMP/wm-$name.log")"
}

# mutter with its own Xwayland, on a private runtime folder; its log names the X display, and the X authority is
# a file it writes there. A session bus of its own ends with it.
start_mutter() {
    local run="$E2E_TMP/mutter-runtime" log="$E2E_TMP/wm-mutter.log" display
    mkdir -p -m 700 "$run"
    env "${wm_settings[@]}" XDG_RUNTIME_DIR="$run" setsid dbus-run-session -- mutter --wayland --headless \
        --virtual-monitor 1920x1080 --wayland-display=rp-e2e >"$log" 2>&1 &
    E2E_WM_PID=$!
    E2E_WM_GROUP=yes
    poll 20 grep -q 'Using public X11 display' "$log" || fail "mutter did not start its Xwayland: $(cat "$log")"
    display=$(sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' "$log" | head -n 1)
    E2E_XVFB_DISPLAY=$DISPLAY
    export DISPLAY=$display WAYLAND_DISPLAY="$run/rp-e2e"
    XAUTHORITY=$(echo "$run"/.mutter-Xwaylandauth.*)
    export XAUTHORITY
    poll 20 window_manager_running || fail "mutter did not start managing X11 windows: $(cat "$log")"
}

# KDE Plasma's KWin with its default settings and its Breeze frames, in a session bus of its own that ends with
# it, and a home of its own for each session, as KWin writes its settings back. On X11 it takes the test's X server.
# On Wayland it starts its Xwayland and, once that is up, the script given last, which hands over the X display and
# its authority file. kwin_wayland carries a file capability that a container may refuse ("Operation not
# permitted"): started through the dynamic loader it runs without it, and KWIN_FORCE_OWN_QPA lets its own platform
# plugin accept a program of another name.
start_kwin() {
    local session=$1 log="$E2E_TMP/wm-kwin_$1.log" home="$E2E_WM_HOME/kwin_$1" run="$E2E_TMP/kwin-runtime"
    local found="$E2E_TMP/kwin-display"
    local -a kwin=(kwin_x11 --replace)
    mkdir -p "$home/config"
    if [ "$session" = wayland ]; then
        mkdir -p -m 700 "$run"
        rm -f "$found"
        cat >"$E2E_TMP/kwin-started.sh" <<EOF
#!/bin/sh
echo "\$DISPLAY \$XAUTHORITY" >"$found.new" && mv "$found.new" "$found"
EOF
        chmod +x "$E2E_TMP/kwin-started.sh"
        kwin=(env -u DISPLAY XDG_RUNTIME_DIR="$run" KWIN_FORCE_OWN_QPA=1 /lib64/ld-linux-x86-64.so.2
            /usr/bin/kwin_wayland --virtual --xwayland --no-lockscreen --width=1920 --height=1080 --socket=rp-e2e
            "$E2E_TMP/kwin-started.sh")
    fi
    env "${wm_settings[@]}" HOME="$home" XDG_CONFIG_HOME="$home/config" \
        setsid dbus-run-session -- "${kwin[@]}" >"$log" 2>&1 &
    E2E_WM_PID=$!
    E2E_WM_GROUP=yes
    if [ "$session" = wayland ]; then
        poll 30 test -s "$found" || fail "kwin_wayland did not start its Xwayland: $(cat "$log")"
        E2E_XVFB_DISPLAY=$DISPLAY
        local display authority
        read -r display authority <"$found"
        export DISPLAY=$display WAYLAND_DISPLAY="$run/rp-e2e"
        [ -z "$authority" ] || export XAUTHORITY=$authority
    fi
    poll 30 window_manager_running || fail "kwin_$session did not start managing X11 windows: $(cat "$log")"
}

# sway on its headless back end, without Xwayland and without input devices: keys come from wtype's virtual
# keyboard. Clients of another user reach its sockets by their paths.
start_sway() {
    E2E_SWAY_HOME=$(mktemp -d /tmp/rp-e2e-sway.XXXXXX)
    chmod 755 "$E2E_SWAY_HOME"
    mkdir -m 700 "$E2E_SWAY_HOME/runtime" "$E2E_SWAY_HOME/home"
    echo "xwayland disable" >"$E2E_SWAY_HOME/config"
    local -a as_user=()
    if [ "$(id -u)" = 0 ]; then
        chown "$E2E_SWAY_UID:$E2E_SWAY_UID" "$E2E_SWAY_HOME/runtime" "$E2E_SWAY_HOME/home"
        as_user=(setpriv --reuid="$E2E_SWAY_UID" --regid="$E2E_SWAY_UID" --clear-groups)
    fi
    (cd / && exec env -i PATH="$PATH" HOME="$E2E_SWAY_HOME/home" XDG_RUNTIME_DIR="$E2E_SWAY_HOME/runtime" \
        WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 "${as_user[@]}" sway -c "$E2E_SWAY_HOME/config" \
        >"$E2E_TMP/wm-sway.log" 2>&1) &
    E2E_WM_PID=$!
    E2E_WM_GROUP=""
    poll 20 sway_ready || fail "sway did not start: $(cat "$E2E_TMP/wm-sway.log")"
    E2E_XVFB_DISPLAY=$DISPLAY
    unset DISPLAY
    export WAYLAND_DISPLAY="$E2E_SWAY_HOME/runtime/wayland-1"
}

sway_ready() {
    local socket
    socket=$(echo "$E2E_SWAY_HOME"/runtime/sway-ipc.*.sock)
    [ -S "$socket" ] && [ -S "$E2E_SWAY_HOME/runtime/wayland-1" ] && SWAYSOCK=$socket swaymsg -t get_version >/dev/null 2>&1 &&
        export SWAYSOCK=$socket
}

sway_window() {
    swaymsg -t get_tree -r 2>/dev/null | python3 -c '
import json, re, sys
def walk(node):
    if re.search(sys.argv[1], node.get("name") or "") and node.get("shell"):
        r = node["rect"]
        print(node["shell"], r["x"], r["y"], r["width"], r["height"])
        return True
    return any(walk(child) for child in node.get("nodes", []) + node.get("floating_nodes", []))
walk(json.load(sys.stdin))' "$1"
}

stop_window_manager() {
    [ -n "$E2E_WM_PID" ] || return 0
    if [ "$E2E_WM_GROUP" = yes ]; then kill -- "-$E2E_WM_PID" 2>/dev/null || true; fi
    kill "$E2E_WM_PID" 2>/dev/null || true
    wait "$E2E_WM_PID" 2>/dev/null || true
    E2E_WM_PID=""
    if [ -n "$E2E_XVFB_DISPLAY" ]; then
        export DISPLAY=$E2E_XVFB_DISPLAY
        unset XAUTHORITY WAYLAND_DISPLAY SWAYSOCK
        E2E_XVFB_DISPLAY=""
    fi
    if [ -n "$E2E_SWAY_HOME" ]; then
        rm -rf "$E2E_SWAY_HOME"
        E2E_SWAY_HOME=""
    fi
    E2E_WM_NAME=none
    # The next window manager must not be taken for ready on the strength of this one's check window.
    poll 10 eval '! window_manager_running'
}

# The settings service the bus started writes its files as it ends: waited for before the folder goes.
stop_wm_session_bus() {
    [ -n "$E2E_WM_BUS_PID" ] || return 0
    kill -- "-$E2E_WM_BUS_PID" 2>/dev/null || true
    wait "$E2E_WM_BUS_PID" 2>/dev/null || true
    poll 10 eval '! kill -0 -- "-$E2E_WM_BUS_PID" 2>/dev/null' || echo "warning: the session bus's services live on" >&2
    E2E_WM_BUS_PID=""
}

frame_extents() {
    xprop -id "$1" -notype 32c ' $0 $1 $2 $3' _NET_FRAME_EXTENTS 2>/dev/null | awk 'NF == 5 { print $2, $3, $4, $5 }'
}
is_reparented() { ! xwininfo -id "$1" -tree | grep -q 'Parent window id: .*(the root window)'; }
is_managed() { [ -n "$(frame_extents "$1")" ] && is_reparented "$1"; }
is_active() { [ "$(xdotool getactivewindow 2>/dev/null)" = "$1" ]; }

other_window_shows() {
    E2E_OTHER_WINDOW=$(xdotool search --onlyvisible --name '^xmessage$' 2>/dev/null | head -n 1)
    [ -n "$E2E_OTHER_WINDOW" ]
}

start_other_window() {
    xmessage -geometry +1400+900 "altro programma" >/dev/null 2>&1 &
    E2E_OTHER_PID=$!
    poll 10 other_window_shows || fail "$E2E_WM_NAME: the other program's window did not show"
}

activate_other_window() {
    if [ "$E2E_WM_NAME" = none ]; then
        timeout 10 xdotool windowfocus --sync "$E2E_OTHER_WINDOW" || fail "the other program's window took no focus"
        return 0
    fi
    poll 10 is_managed "$E2E_OTHER_WINDOW" || fail "$E2E_WM_NAME: the other program's window was not managed"
    timeout 10 xdotool windowactivate --sync "$E2E_OTHER_WINDOW" ||
        fail "$E2E_WM_NAME: the other program's window was not activated"
    is_active "$E2E_OTHER_WINDOW" || fail "$E2E_WM_NAME: the other program's window is not the active one"
}

stop_other_window() {
    [ -n "$E2E_OTHER_PID" ] || return 0
    kill "$E2E_OTHER_PID" 2>/dev/null || true
    wait "$E2E_OTHER_PID" 2>/dev/null || true
    E2E_OTHER_PID=""
}

trap 'stop_other_window; stop_window_manager || true; stop_wm_session_bus; e2e_cleanup' EXIT
