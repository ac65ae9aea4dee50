#!/usr/bin/env bash
# Installs what is missing, builds the test configuration (warnings as errors, ASan + UBSan)
# and runs every test through CTest. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
velmora_install_deps

build=${VELMORA_BUILD_DIR:-build/test}  # another folder lets builds run side by side
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELMORA_WERROR=ON -DVELMORA_SANITIZE=ON
cmake --build "$build" --parallel "$(nproc)"
# The benchmarks are built too (never run here), so a change that breaks one fails at once.
cmake --build "$build" --parallel "$(nproc)" --target benchmarks

data_home=$(mktemp -d)
trap 'rm -rf "$data_home"' EXIT
export XDG_DATA_HOME="$data_home"
export XDG_CACHE_HOME="$data_home/cache"  # jobs clean thumbnails here, never in the real cache
export XDG_RUNTIME_DIR="$data_home/runtime"
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
ctest --test-dir "$build" --output-on-failure --parallel "$(nproc)"
