# Sourced by the scripts and tests that need what a desktop session has besides its display: a D-Bus session bus
# of their own, so that they never talk to, or disturb, a session that may be running.
#
#   start_private_session_bus WORK-FOLDER    exports DBUS_SESSION_BUS_ADDRESS and sets SESSION_BUS_PID, the
#                                             leader of the bus's own process group: kill -- -$SESSION_BUS_PID
#                                             ends the bus and every service it started on demand
start_private_session_bus() {
    local work=$1
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/session-bus"
    unset AT_SPI_BUS_ADDRESS
    setsid dbus-daemon --session --nofork --nopidfile --address="$DBUS_SESSION_BUS_ADDRESS" >"$work/dbus.log" 2>&1 &
    SESSION_BUS_PID=$!
    for _ in $(seq 1 100); do
        [ -S "$work/session-bus" ] && return 0
        sleep 0.05
    done
    echo "error: the session bus did not start: $(cat "$work/dbus.log")" >&2
    return 1
}
