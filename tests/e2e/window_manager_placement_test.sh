#!/usr/bin/env bash
# The window on a 1920 x 1080 desktop under no window manager, xfwm4 and openbox, each time with another
# program's window active when the pop-up starts. For slots 0, 1, 19, 25 and one in the grid's last row: the
# frame's top-left corner lands within a pixel of where the slot grid, computed with the frame the window
# manager really drew, puts it, and the whole frame is on the screen. Under a window manager the pop-up is
# the active window, and keys typed without any focusing reach the amount box: they postpone by 42 minutes.
# Prints every placement as a row of a table, before it is judged.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/window_manager_lib.sh"

screen_width=1920
screen_height=1080
start_xserver "${screen_width}x${screen_height}"
make_store "mario rossi"
add_overdue_reminder
store_snapshot "$E2E_TMP/pristine"

# grid_position SLOT OUTER-WIDTH OUTER-HEIGHT: "left top" in pixels, the grid's arithmetic in twips with the
# counts rounded half to even.
grid_position() {
    local slot=$1 rows columns
    rows=$(grid_count $(((screen_height - $3) * 15)) 700)
    columns=$(grid_count $(((screen_width - $2) * 15)) 300)
    echo "$(((slot % columns) * 300 / 15)) $(((slot % rows) * 700 / 15))"
}
grid_count() { # ROOM-TWIPS STEP-TWIPS: how many steps fit, rounded half to even
    local q=$(($1 / $2)) r=$(($1 % $2))
    [ "$1" -gt 0 ] || fail "no room on the screen"
    if [ $((2 * r)) -gt "$2" ] || { [ $((2 * r)) -eq "$2" ] && [ $((q % 2)) -eq 1 ]; }; then q=$((q + 1)); fi
    echo "$q"
}

# place SLOT [keys]: launches the pop-up for SLOT with the other program active and checks where it lands.
# With "keys" the operator then types an amount and postpones; otherwise the window is closed.
place() {
    local slot=$1 window x y width height left=0 right=0 top=0 bottom=0
    activate_other_window
    launch_popup "$STORE/popup.ini|$slot|57|MAN|$due_line"
    window=$(wait_window '^APP\. ')
    if [ "$E2E_WM_NAME" != none ]; then
        poll 10 is_managed "$window" || fail "$E2E_WM_NAME: the pop-up was not managed"
        poll 10 is_active "$window" || fail "$E2E_WM_NAME: slot $slot: the pop-up did not become the active window"
        read -r left right top bottom <<<"$(frame_extents "$window")"
    fi
    read -r x y width height <<<"$(xwininfo -id "$window" | awk '
        /Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
        /Width:/ { w = $NF } /Height:/ { h = $NF } END { print x, y, w, h }')"
    local outer_width=$((width + left + right)) outer_height=$((height + top + bottom))
    local frame_x=$((x - left)) frame_y=$((y - top)) wanted
    wanted=$(grid_position "$slot" "$outer_width" "$outer_height")
    [ -n "${last_row_slot:-}" ] || last_row_slot=$(($(grid_count $(((screen_height - outer_height) * 15)) 700) - 1))
    echo "| $E2E_WM_NAME | $left, $right, $top, $bottom | $slot | ($frame_x, $frame_y) | (${wanted/ /, }) |"
    local want_x=${wanted% *} want_y=${wanted#* }
    [ $((frame_x - want_x)) -ge -1 ] && [ $((frame_x - want_x)) -le 1 ] &&
        [ $((frame_y - want_y)) -ge -1 ] && [ $((frame_y - want_y)) -le 1 ] ||
        fail "$E2E_WM_NAME: slot $slot: the frame is at ($frame_x, $frame_y), the grid wants ($want_x, $want_y)"
    [ "$frame_x" -ge 0 ] && [ "$frame_y" -ge 0 ] && [ $((frame_x + outer_width)) -le "$screen_width" ] &&
        [ $((frame_y + outer_height)) -le "$screen_height" ] ||
        fail "$E2E_WM_NAME: slot $slot: the frame ($frame_x, $frame_y) ${outer_width}x$outer_height is not all on the screen"

    if [ "${2:-}" = keys ]; then
        # The amount box holds "15" and the focus: two BackSpaces empty it.
        local typed=$(date +%s)
        xdotool key --delay 30 BackSpace BackSpace 4 2 alt+p
        wait_popup_end
        local ended=$(date +%s) alarm
        [ "$POPUP_STATUS" = 0 ] || fail "$E2E_WM_NAME: exit status $POPUP_STATUS after postponing"
        alarm=$(epoch_of "$(sqlite3 "$WORK_DB" "SELECT PmAllarm FROM Promemoria WHERE PmCliente = 57")")
        [ "$alarm" -ge $((typed + 2520)) ] && [ "$alarm" -le $((ended + 2521)) ] ||
            fail "$E2E_WM_NAME: the typed keys did not postpone by 42 minutes (the amount box did not have them)"
        cp "$E2E_TMP/pristine/"*.mdb "$STORE/mario rossi/"
    else
        "$X11_CLOSE_WINDOW" "$window"
        wait_popup_end
        [ "$POPUP_STATUS" = 0 ] || fail "$E2E_WM_NAME: exit status $POPUP_STATUS after closing"
    fi
}

echo "| window manager | frame (left, right, top, bottom) | slot | frame lands at | the slot grid wants |"
echo "|---|---|---|---|---|"
for wm in none xfwm4 openbox; do
    start_window_manager "$wm"
    start_other_window
    last_row_slot=""
    place 0
    slots=(19 25)
    [[ " 0 1 19 25 " == *" $last_row_slot "* ]] || slots+=("$last_row_slot")
    for slot in "${slots[@]}"; do
        place "$slot"
    done
    if [ "$E2E_WM_NAME" = none ]; then place 1; else place 1 keys; fi
    stop_other_window
    stop_window_manager || fail "$E2E_WM_NAME did not end"
done
echo "PASS: every frame within a pixel of the grid and on the screen; under xfwm4 and openbox the pop-up active and the keys in the amount box"
