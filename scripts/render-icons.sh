#!/usr/bin/env bash
# Renders the hand-drawn application icon into the PNG sizes of the hicolor theme.
# The PNGs are committed; run this after editing the SVG (needs librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/../data/icons/hicolor"
command -v rsvg-convert >/dev/null || { echo "rsvg-convert missing: apt-get install librsvg2-bin" >&2; exit 1; }
for size in 16 22 24 32 48 64 128 256 512; do
    mkdir -p "${size}x${size}/apps"
    rsvg-convert -w "$size" -h "$size" scalable/apps/vyrn.svg -o "${size}x${size}/apps/vyrn.png"
done
