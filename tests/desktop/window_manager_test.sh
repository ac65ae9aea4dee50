#!/usr/bin/env bash
# The main window and the Options dialog under a real window manager, moved and resized with the mouse
# as a user would: a drag on the title strip moves the window to where it is dropped, and it stays there
# when the pointer goes on; a plain click on the strip moves nothing; a drag from the corner resizes.
# Usage: window_manager_test.sh <velmora executable>
source "$(dirname "$0")/desktop.sh"
program=${1:?the program to start}

start_x
start_wm
start_program "$program"
main=$(find_window "Brindlework Velmora")
[ -n "$main" ] || fail "the main window did not appear: $(tail -n 5 "$program_log")"

read -r x y w h <<<"$(settled_geometry "$main")"

# A click on the title strip hands nothing over that would follow the pointer afterwards.
xdotool mousemove $((x + 450)) $((y + 12)) click 1
sleep 0.3
move_on $((x + 450)) $((y + 12))
expect_near "$(geometry "$main")" "$x $y $w $h" 0 "a click on the title strip moved the window"

# Drag by the strip, release, move on.
drag $((x + 450)) $((y + 12)) 120 70
dropped=$(settled_geometry "$main")
expect_near "$dropped" "$((x + 120)) $((y + 70)) $w $h" 3 "the main window was not dropped where the drag ended"
move_on $((x + 570)) $((y + 82))
expect_near "$(settled_geometry "$main")" "$dropped" 0 "the main window followed the pointer after the release"

# Resize from the bottom-right corner (its zone is 12 × 12).
read -r x y w h <<<"$dropped"
drag $((x + w - 4)) $((y + h - 4)) 60 40
resized=$(settled_geometry "$main")
expect_near "$resized" "$x $y $((w + 60)) $((h + 40))" 3 "the corner drag did not resize the main window"
move_on $((x + w + 56)) $((y + h + 36))
expect_near "$(settled_geometry "$main")" "$resized" 0 "the main window went on resizing after the release"

# The Options dialog from the Help menu (Up picks the last entry, "Options..."). The Help button
# (57 × 25 at 38 px from the top) keeps its distance of 67 px from the right edge.
read -r x y w h <<<"$resized"
xdotool mousemove $((x + w - 67 + 28)) $((y + 38 + 12)) click 1
menu=$(wait_for_other_window "$main") || fail "the Help menu did not open"
xdotool key Up Return
options=""
for attempt in $(seq 1 50); do
  for id in $(other_windows "$main" "$menu"); do
    read -r _ _ ow oh <<<"$(geometry "$id")"
    [ "$ow" -eq 529 ] && [ "$oh" -eq 547 ] && options=$id
  done
  [ -n "$options" ] && break
  sleep 0.1
done
[ -n "$options" ] || fail "the Options dialog (529 × 547) did not open"

read -r ox oy ow oh <<<"$(settled_geometry "$options")"
expect_near "$((ox + ow / 2)) $((oy + oh / 2))" "$((x + w / 2)) $((y + h / 2))" 1 \
  "the Options dialog did not open centred on the main window"
drag $((ox + 200)) $((oy + 12)) -150 90
dropped=$(settled_geometry "$options")
expect_near "$dropped" "$((ox - 150)) $((oy + 90)) $ow $oh" 3 "the Options dialog was not dropped where the drag ended"
move_on $((ox + 50)) $((oy + 102))
expect_near "$(settled_geometry "$options")" "$dropped" 0 "the Options dialog followed the pointer after the release"

# Its buttons are where the user can click them: Cancel (right and bottom anchored) closes it.
read -r ox oy _ _ <<<"$dropped"
xdotool mousemove $((ox + ow - 106 + 39)) $((oy + oh - 42 + 11)) click 1
wait_until 10 window_gone "$options" || fail "a click on Cancel did not close the Options dialog"

stop_program
echo "PASS: moved, resized and clicked under openbox"
