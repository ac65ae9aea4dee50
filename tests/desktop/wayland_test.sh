#!/usr/bin/env bash
# The program on a Wayland desktop: a headless weston, the Wayland platform plugin, and the driver that
# starts the program through its real start-up and opens its window, a menu and a dialog.
# Usage: wayland_test.sh <wayland_driver executable>
source "$(dirname "$0")/desktop.sh"
driver=${1:?the driver to run}
need weston

runtime="$desktop_tmp/runtime"
mkdir -m 700 "$runtime"
export XDG_RUNTIME_DIR="$runtime"
socket="velmora-test-$$"
weston --backend=headless-backend.so --socket="$socket" --idle-time=0 --width=1280 --height=900 \
  >"$desktop_tmp/weston.log" 2>&1 &
desktop_pids+=($!)
wait_until 20 test -S "$runtime/$socket" ||
  fail "weston (headless) did not start: $(tail -n 5 "$desktop_tmp/weston.log")"

# Leaks are told from the system libraries' (tests/lsan.supp) by whole stacks: the EGL loader's run
# through libraries built without frame pointers.
[ -n "${ASAN_OPTIONS+set}" ] && export ASAN_OPTIONS="$ASAN_OPTIONS:fast_unwind_on_malloc=0"
mkdir -p "$desktop_tmp/data"
WAYLAND_DISPLAY="$socket" QT_QPA_PLATFORM=wayland XDG_DATA_HOME="$desktop_tmp/data" DISPLAY= \
  timeout 60 "$driver" || fail "the program on Wayland (see the lines above)"
echo "PASS: window, menu and dialog on Wayland with no platform warning"
