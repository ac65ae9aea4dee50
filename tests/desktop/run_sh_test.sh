#!/usr/bin/env bash
# README's first command: run.sh, exactly as it stands, starts the program the build made and its
# window appears. run.sh and scripts/deps.sh are copied into a scratch tree whose build/release is this
# build, and cmake is replaced by a recorder, so nothing is installed or rebuilt here; the packages are
# there already (test.sh installed them). If the build puts the program anywhere but where run.sh
# starts it, this fails.
# Usage: run_sh_test.sh <source folder> <build folder>
source "$(dirname "$0")/desktop.sh"
source_dir=${1:?the source folder}
build_dir=${2:?the build folder holding the program}

tree="$desktop_tmp/tree"
mkdir -p "$tree/scripts" "$tree/build" "$desktop_tmp/bin"
cp "$source_dir/run.sh" "$tree/"
cp "$source_dir/scripts/deps.sh" "$tree/scripts/"
ln -s "$(cd "$build_dir" && pwd)" "$tree/build/release"
calls="$desktop_tmp/cmake-calls"
cat >"$desktop_tmp/bin/cmake" <<RECORDER
#!/bin/sh
echo "\$*" >>"$calls"
RECORDER
chmod +x "$desktop_tmp/bin/cmake"

start_x
start_program env PATH="$desktop_tmp/bin:$PATH" "$tree/run.sh"
main=$(find_window "Brindlework Velmora")
[ -n "$main" ] || fail "run.sh did not open the main window; it said: $(tail -n 5 "$program_log")"
grep -q -- "--build build/release .*--target velmora" "$calls" ||
  fail "run.sh did not build the program into build/release; cmake was called with: $(cat "$calls")"
stop_program
echo "PASS: run.sh built into build/release and opened the window"
