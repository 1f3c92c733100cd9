# Sourced by the scripts that run the real window without touching the user's display: a private Xvfb on a
# display number it picks itself, a private runtime folder, and Qt pointed at X11.
#
#   start_private_xserver WORK-FOLDER [WIDTHxHEIGHT] [MAX-CLIENTS]   sets XVFB_PID and exports DISPLAY; logs to
#                                                                     WORK-FOLDER/xvfb.log; MAX-CLIENTS: 256 unless given
#   stop_private_xserver                                ends the server and returns once it is gone; call it from the clean-up
XVFB_PID=""

start_private_xserver() {
    local work=$1 size=${2:-1280x1024} max_clients=${3:-256} display=""
    export XDG_RUNTIME_DIR="$work/runtime"
    mkdir -p -m 700 "$XDG_RUNTIME_DIR"
    # -noreset: left to itself, Xvfb starts afresh whenever its last client leaves and drops every connection
    # still in its handshake at that moment. A program connecting while a short-lived client such as xdotool
    # disconnects is then told "could not connect to display", though the server never went away.
    exec 5<> <(:)
    Xvfb -displayfd 5 -noreset -screen 0 "${size}x24" -maxclients "$max_clients" -nolisten tcp >"$work/xvfb.log" 2>&1 &
    XVFB_PID=$!
    # The number is written once the server accepts clients.
    if ! read -r -t 10 display <&5 || ! kill -0 "$XVFB_PID" 2>/dev/null; then
        echo "error: the X server did not start: $(cat "$work/xvfb.log")" >&2
        exit 1
    fi
    exec 5<&-
    export DISPLAY=":$display" QT_QPA_PLATFORM=xcb
    unset WAYLAND_DISPLAY
}

# A server still shutting down when the caller ends outlives it, and in its last step removes the socket file of
# its display, which by then may belong to the next private server given the same number.
stop_private_xserver() {
    [ -n "$XVFB_PID" ] || return 0
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=""
}
