# Shared by the desktop tests (sourced): a private X server with a real window manager, the program
# started with folders of its own, its windows found and measured with xdotool, and a plain failure
# message whenever something a test needs cannot start. Nothing here skips: a desktop test that cannot
# run fails.

set -uo pipefail

desktop_tmp=$(mktemp -d)
desktop_pids=()

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

desktop_cleanup() {
  local pid
  for pid in "${desktop_pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${desktop_pids[@]}"; do wait "$pid" 2>/dev/null; done
  rm -rf "$desktop_tmp"
}
trap desktop_cleanup EXIT

need() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/deps.sh installs it)"
  done
}

# Waits up to $1 seconds for the command after it to succeed.
wait_until() {
  local seconds=$1
  shift
  local deadline=$((SECONDS + seconds))
  until "$@" 2>/dev/null; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}

# Starts Xvfb on a free display (1280 × 900, 96 dpi) and points DISPLAY and the Qt platform at it.
start_x() {
  need Xvfb xdotool xprop
  local file="$desktop_tmp/display"
  Xvfb -displayfd 3 -screen 0 1280x900x24 -dpi 96 -nolisten tcp 3>"$file" 2>"$desktop_tmp/xvfb.log" &
  desktop_pids+=($!)
  wait_until 20 test -s "$file" || fail "Xvfb did not start: $(tail -n 3 "$desktop_tmp/xvfb.log")"
  export DISPLAY=":$(head -n 1 "$file")"
  export QT_QPA_PLATFORM=xcb
  unset WAYLAND_DISPLAY
}

wm_is_running() {
  xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'
}

# Starts openbox on the X server and waits until it manages the screen.
start_wm() {
  need openbox
  openbox --sm-disable >"$desktop_tmp/openbox.log" 2>&1 &
  desktop_pids+=($!)
  wait_until 20 wm_is_running || fail "openbox did not take the screen: $(tail -n 3 "$desktop_tmp/openbox.log")"
}

# Starts a program (the command line given) with a data and a runtime folder of its own; sets
# program_pid and program_log. The caller waits for its window.
start_program() {
  local home
  home=$(mktemp -d "$desktop_tmp/home.XXXXXX")
  mkdir -p "$home/data"
  mkdir -m 700 "$home/runtime"
  program_log="$home/output.log"
  XDG_DATA_HOME="$home/data" XDG_RUNTIME_DIR="$home/runtime" "$@" >"$program_log" 2>&1 &
  program_pid=$!
  desktop_pids+=("$program_pid")
}

stop_program() {
  kill "$program_pid" 2>/dev/null
  wait "$program_pid" 2>/dev/null
}

# The visible window of the program named exactly $1, waiting up to 30 s for it; empty when the
# program ended or the time ran out.
find_window() {
  local deadline=$((SECONDS + 30)) found
  while [ "$SECONDS" -lt "$deadline" ] && kill -0 "$program_pid" 2>/dev/null; do
    found=$(xdotool search --onlyvisible --pid "$program_pid" --name "^$1\$" 2>/dev/null | head -n 1)
    [ -n "$found" ] && { echo "$found"; return; }
    sleep 0.1
  done
}

# The program's visible windows other than those given.
other_windows() {
  local id skip
  for id in $(xdotool search --onlyvisible --pid "$program_pid" 2>/dev/null); do
    for skip in "$@"; do [ "$id" = "$skip" ] && continue 2; done
    echo "$id"
  done
}

# Waits up to 10 s for a visible window of the program other than those given; prints it.
wait_for_other_window() {
  local deadline=$((SECONDS + 10)) found
  while [ "$SECONDS" -lt "$deadline" ]; do
    found=$(other_windows "$@" | head -n 1)
    [ -n "$found" ] && { echo "$found"; return 0; }
    sleep 0.1
  done
  return 1
}

# True when the window is no longer one of the program's visible windows.
window_gone() {
  ! other_windows | grep -qx "$1"
}

# "x y width height" of a window on the screen.
geometry() {
  local X Y WIDTH HEIGHT
  eval "$(xdotool getwindowgeometry --shell "$1")"
  echo "$X $Y $WIDTH $HEIGHT"
}

# Waits until a window's geometry has stopped changing (a window manager settles it), then prints it.
settled_geometry() {
  local last now i
  last=$(geometry "$1")
  for i in $(seq 1 50); do
    sleep 0.1
    now=$(geometry "$1")
    [ "$now" = "$last" ] && { echo "$now"; return; }
    last=$now
  done
  echo "$now"
}

# A user's drag with the left button: press at x y, pause, move by dx dy in steps, release.
drag() {
  local x=$1 y=$2 dx=$3 dy=$4 steps=10 i
  xdotool mousemove "$x" "$y"
  sleep 0.2
  xdotool mousedown 1
  sleep 0.3
  for i in $(seq 1 $steps); do
    xdotool mousemove $((x + dx * i / steps)) $((y + dy * i / steps))
    sleep 0.03
  done
  sleep 0.2
  xdotool mouseup 1
  sleep 0.2
}

# The pointer goes on after a release, as a hand does.
move_on() {
  local x=$1 y=$2 i
  for i in $(seq 1 8); do
    xdotool mousemove $((x + 15 * i)) $((y + 10 * i))
    sleep 0.05
  done
  sleep 0.3
}

# Fails unless $1 and $2 differ by at most $3 in every number.
expect_near() {
  local -a got=($1) want=($2)
  local i
  for i in "${!want[@]}"; do
    local d=$((got[i] - want[i]))
    [ "${d#-}" -le "$3" ] || fail "$4: got ($1), expected ($2)"
  done
}
