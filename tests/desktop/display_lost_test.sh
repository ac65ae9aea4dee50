#!/usr/bin/env bash
# The X server goes away under the program (a session ending before its signal arrives): Qt ends the
# process from inside its event loop, and the program must end plainly, not abort in a tangle of
# half-destroyed objects.
# Usage: display_lost_test.sh <velmora executable>
source "$(dirname "$0")/desktop.sh"
program=${1:?the program to start}

start_x
xvfb=${desktop_pids[0]}
# What is left to the system on purpose at such an end is no leak to report.
[ -n "${ASAN_OPTIONS+set}" ] && export ASAN_OPTIONS="$ASAN_OPTIONS:detect_leaks=0"
start_program "$program"
[ -n "$(find_window "Brindlework Velmora")" ] || fail "the main window did not appear: $(tail -n 5 "$program_log")"
kill "$xvfb"
wait "$program_pid"
status=$?
[ "$status" -eq 1 ] || fail "the program ended with status $status, not 1: $(tail -n 3 "$program_log")"
log=$(find "$desktop_tmp" -name Log.txt | head -n 1)
tail -n 1 "$log" | grep -q "The display went away; ending at once" ||
  fail "the log does not end with the display's loss: $(tail -n 2 "$log")"
echo "PASS: ended plainly when the display went away"
