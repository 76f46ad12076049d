#!/bin/sh
# Renders the PNG sizes of the icon from its SVG (rsvg-convert, Debian package librsvg2-bin).
# The PNGs are committed, so building needs nothing of this; run it after changing the SVG.
set -eu
cd "$(dirname "$0")/icons"
for size in 16 24 32 48 64 128 256; do
    mkdir -p "${size}x${size}"
    rsvg-convert -w "$size" -h "$size" org.quillmark.Quillmark.svg \
        -o "${size}x${size}/org.quillmark.Quillmark.png"
done
