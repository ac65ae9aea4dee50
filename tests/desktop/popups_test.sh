#!/usr/bin/env bash
# Menus, drop-downs and message boxes open where they belong, on every start, under a real window
# manager. A window whose native position the toolkit learnt wrong at its first mapping opens all of
# them as if it stood at the screen's corner; that depended on timing, so the program is started many
# times.
# Usage: popups_test.sh <velmora executable> [starts]
source "$(dirname "$0")/desktop.sh"
program=${1:?the program to start}
starts=${2:-20}

# Where the main window's controls are at its first size (688 × 507), from its top left corner.
help_button=(621 38 57 25)
target_box=(92 327 280 24)
run_button=(465 409 180 44)

start_x
start_wm

for start in $(seq 1 "$starts"); do
  start_program "$program"
  main=$(find_window "Brindlework Velmora")
  [ -n "$main" ] || fail "start $start: the main window did not appear: $(tail -n 5 "$program_log")"
  read -r x y w h <<<"$(settled_geometry "$main")"
  [ "$w $h" = "688 507" ] || fail "start $start: the main window is $w × $h, not 688 × 507"

  # The Help menu opens under the Help button: one pixel in, two up.
  xdotool mousemove $((x + help_button[0] + 28)) $((y + help_button[1] + 12)) click 1
  menu=$(wait_for_other_window "$main") || fail "start $start: the Help menu did not open"
  read -r mx my _ _ <<<"$(geometry "$menu")"
  expected="$((x + help_button[0] + 1)) $((y + help_button[1] + help_button[3] - 2))"
  [ "$mx $my" = "$expected" ] ||
    fail "start $start: the Help menu opened at ($mx $my), not under the Help button at ($expected)"
  xdotool key Escape
  wait_until 5 window_gone "$menu" || fail "start $start: Escape did not close the Help menu"

  # The Target drop-down opens at the box: its left edge aligned, over or right below it.
  xdotool mousemove $((x + target_box[0] + 140)) $((y + target_box[1] + 12)) click 1
  list=$(wait_for_other_window "$main") || fail "start $start: the Target drop-down did not open"
  read -r lx ly lw lh <<<"$(geometry "$list")"
  box_top=$((y + target_box[1]))
  box_bottom=$((box_top + target_box[3]))
  expect_near "$lx" "$((x + target_box[0]))" 2 "start $start: the Target drop-down's left edge"
  { [ "$ly" -le "$((box_bottom + 2))" ] && [ "$((ly + lh))" -ge "$((box_top - 2))" ]; } ||
    fail "start $start: the Target drop-down (at $lx $ly, $lw × $lh) is away from its box ($box_top–$box_bottom)"
  xdotool key Escape
  wait_until 5 window_gone "$list" || fail "start $start: Escape did not close the Target drop-down"

  # Encrypt / Decrypt with no file refuses in a message box centred on the window.
  xdotool mousemove $((x + run_button[0] + 90)) $((y + run_button[1] + 22)) click 1
  box=$(wait_for_other_window "$main") || fail "start $start: no message box after Encrypt / Decrypt"
  read -r bx by bw bh <<<"$(settled_geometry "$box")"
  expect_near "$((bx + bw / 2)) $((by + bh / 2))" "$((x + w / 2)) $((y + h / 2))" 1 \
    "start $start: the message box's centre, against the main window's"
  xdotool key Escape
  wait_until 5 window_gone "$box" || fail "start $start: Escape did not close the message box"

  stop_program
done
echo "PASS: menus, drop-downs and message boxes in place on $starts starts"
