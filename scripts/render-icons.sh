#!/usr/bin/env bash
# Renders the program's icon drawing into the PNG sizes of the hicolor theme. Run it after changing
# packaging/icons/velmora.svg and commit the pictures with it (needs rsvg-convert: librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/../packaging/icons"
for size in 16 24 32 48 64 128 256; do
  rsvg-convert --width "$size" --height "$size" velmora.svg --output "velmora-$size.png"
done
