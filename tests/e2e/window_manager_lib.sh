# Sourced after lib.sh by the end-to-end tests that run the window under a real window manager inside the
# test's private X server. The window managers get settings folders of their own under the test's folder, so
# that neither the user's settings nor an earlier run's change what they do; xfwm4 reads its settings over D-Bus
# and gets a private session bus, which only it is pointed at.
#
#   start_window_manager NAME    none, xfwm4 or openbox; returns once the window manager manages windows
#   stop_window_manager          ends it and waits until it is gone (false when it is not); the session bus
#                                ends with the test
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

poll() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.05
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
    *) fail "unknown window manager '$name'" ;;
    esac
    E2E_WM_PID=$!
    poll 10 window_manager_running || fail "$name did not start managing windows: $(cat "$E2E_TMP/wm-$name.log")"
    kill -0 "$E2E_WM_PID" 2>/dev/null || fail "$name ended at start: $(cat "$E2E_TMP/wm-$name.log")"
}

stop_window_manager() {
    [ -n "$E2E_WM_PID" ] || return 0
    kill "$E2E_WM_PID" 2>/dev/null || true
    wait "$E2E_WM_PID" 2>/dev/null || true
    E2E_WM_PID=""
E2E_WM_NAME=none
E2E_OTHER_PID=""
E2E_OTHER_WINDOW=""
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
