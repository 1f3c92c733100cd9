# Sourced by the scripts that run the real window without touching the user's display: a private Xvfb on a
# display number it picks itself, a private runtime folder, and Qt pointed at X11.
#
#   start_private_xserver WORK-FOLDER [WIDTHxHEIGHT]    sets XVFB_PID (for the caller's clean-up) and exports DISPLAY
start_private_xserver() {
    local work=$1 size=${2:-1280x1024} display=""
    export XDG_RUNTIME_DIR="$work/runtime"
    mkdir -p -m 700 "$XDG_RUNTIME_DIR"
    exec 5<> <(:)
    Xvfb -displayfd 5 -screen 0 "${size}x24" -nolisten tcp >"$work/xvfb.log" 2>&1 &
    XVFB_PID=$!
    read -r -t 10 display <&5 || { echo "error: the X server did not start: $(cat "$work/xvfb.log")" >&2; exit 1; }
    export DISPLAY=":$display" QT_QPA_PLATFORM=xcb
    unset WAYLAND_DISPLAY
}
