#!/usr/bin/env bash
# Installs what is missing, builds the Release configuration and starts the program.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
velmora_install_deps

build=build/release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMORA_TESTS=OFF
cmake --build "$build" --parallel "$(nproc)" --target velmora velmora-cli
exec "$build/velmora" "$@"
