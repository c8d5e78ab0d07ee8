#!/usr/bin/env bash
# Draws every PNG icon from the one source, res/quillbrook.svg. Run it after changing the SVG and
# commit the result; the build installs res/icons/ as it is.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
command -v rsvg-convert >/dev/null || { echo "rsvg-convert is missing: apt-get install librsvg2-bin" >&2; exit 1; }
mkdir -p "$here/res/icons"
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" "$here/res/quillbrook.svg" -o "$here/res/icons/quillbrook-$size.png"
done
ls "$here/res/icons"
