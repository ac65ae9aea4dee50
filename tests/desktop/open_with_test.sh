#!/usr/bin/env bash
# "Open With" while the program runs, under a real window manager: a later start with a video hands it
# to the running window, which was minimized behind another program's window, and ends with 0; the
# window comes back, takes the focus and adds the file, and ends the launch's start-up notification
# (the later start never shows a window that would).
# Usage: open_with_test.sh <velmora executable>
source "$(dirname "$0")/desktop.sh"
program=$(readlink -f "${1:?the program to start}")
need xmessage xprop xev

start_x
start_wm
start_program "$program"
home=$(dirname "$program_log")
main=$(find_window "Brindlework Velmora")
[ -n "$main" ] || fail "the main window did not appear: $(tail -n 5 "$program_log")"

xmessage -geometry 500x300+50+50 "another program" >/dev/null 2>&1 &
desktop_pids+=($!)
other_is_shown() { xdotool search --onlyvisible --name '^xmessage$' | grep -q .; }
wait_until 10 other_is_shown || fail "xmessage did not open"
other=$(xdotool search --onlyvisible --name '^xmessage$' | head -n 1)
xdotool windowminimize --sync "$main"
xdotool windowactivate --sync "$other" 2>/dev/null
[ "$(xdotool getactivewindow)" = "$other" ] || fail "the other program's window did not take the focus"

video="$desktop_tmp/videos/a clip (Zoë).mp4"
mkdir -p "$(dirname "$video")"
head -c 600000 /dev/urandom >"$video"
xev -root -event property >"$desktop_tmp/root-events.log" 2>&1 &
desktop_pids+=($!)
sleep 0.5
(cd "$desktop_tmp/videos" && XDG_DATA_HOME="$home/data" XDG_RUNTIME_DIR="$home/runtime" \
  DESKTOP_STARTUP_ID="open-with-test-1" timeout 30 "$program" "a clip (Zoë).mp4" >"$home/second.log" 2>&1)
code=$?
[ "$code" -eq 0 ] || fail "the later start ended with $code: $(tail -n 3 "$home/second.log")"
kill -0 "$program_pid" 2>/dev/null || fail "the running program ended"

main_is_active() { [ "$(xdotool getactivewindow)" = "$main" ]; }
wait_until 10 main_is_active ||
  fail "the window did not take the focus (active: $(xdotool getactivewindow getwindowname))"
xprop -id "$main" _NET_WM_STATE | grep -q _NET_WM_STATE_HIDDEN && fail "the window is still minimized"
log="$home/data/Brindlework/Velmora/Log.txt"
wait_until 10 grep -q "Opening 1 path(s) from the command line" "$log" ||
  fail "the running window did not take the path: $(tail -n 3 "$log")"
wait_until 10 grep -q "_NET_STARTUP_INFO_BEGIN" "$desktop_tmp/root-events.log" ||
  fail "the launch's start-up notification was not ended"
stop_program
echo "PASS"
