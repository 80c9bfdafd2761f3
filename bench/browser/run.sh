#!/usr/bin/env bash
# The window with 100 000 found photos, headless: an image of small JPEGs made at bench time
# (never committed) is scanned through the main window; the figures are the scan time beside
# quarry-carve without thumbnails, the longest event-loop stall during the scan, the time a
# click, Shift-click, page down, Ctrl+A, scrolling and filtering take to be answered, and
# peak memory.
#
#   bench/browser/run.sh
#   ITEMS=20000 bench/browser/run.sh
#
# Environment: ITEMS (100000), WORK (folder for the image), BUILD (Release build folder).
# Targets: each answer under 100 ms, memory under 1 GiB, thumbnails under 10 % of the scan.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
ITEMS=${ITEMS:-100000}
WORK=${WORK:-$root/build/bench-work/browser}
BUILD=${BUILD:-$root/build/bench-gui}

echo "Building bench_browser (Release) in $BUILD" >&2
cmake -S "$root" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUARRY_BUILD_BENCH=ON \
  -DQUARRY_BUILD_TESTS=OFF >/dev/null
cmake --build "$BUILD" --target bench_browser quarry-carve quarry_definition_files >/dev/null

mkdir -p "$WORK"
QT_QPA_PLATFORM=offscreen "$BUILD/bin/bench_browser" --items "$ITEMS" --work "$WORK" \
  --carver "$BUILD/bin/quarry-carve" 2> >(grep -v -e '^QStandardPaths' -e 'plugin does not support' >&2)
