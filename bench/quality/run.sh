#!/usr/bin/env bash
# Recovery quality of quarry-carve beside PhotoRec on three images built from the corpus:
# two FAT32 card images (every corpus file copied onto a fresh card with mtools, no mounting,
# so the files lie contiguous; then one copy is quick-formatted and in the other the files are
# deleted), and PLANTED_MIB of seeded random bytes with the corpus files planted at
# sector-aligned offsets. quarry-carve --output runs in each mode (photo, video, raw), both as
# this tree builds it ("after") and as BEFORE_REF built it ("before"), and PhotoRec once on
# each image; the recovered files are compared with the originals by SHA-256.
#
#   bench/quality/run.sh
#   IMAGE_MIB=256 PLANTED_MIB=256 bench/quality/run.sh
#
# Environment: IMAGE_MIB (card size, 128), PLANTED_MIB (random image size, 1024), WORK (folder
# for the images and the outputs), BUILD (Release build folder), CORPUS (files to copy, with
# their MANIFEST.csv), BEFORE_REF (the commit to compare with, default: where this branch
# left main; empty: no "before" runs).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
# shellcheck source=../common.sh
. "$here/../common.sh"
IMAGE_MIB=${IMAGE_MIB:-128}
WORK=${WORK:-$root/build/bench-work/quality}
BUILD=${BUILD:-$root/build/bench-release}
CORPUS=${CORPUS:-$root/../shared/corpus}
PLANTED_MIB=${PLANTED_MIB:-1024}
BEFORE_REF=${BEFORE_REF-$(git -C "$root" merge-base HEAD main 2>/dev/null || true)}

need=()
command -v photorec >/dev/null || need+=(testdisk)
command -v mcopy >/dev/null || need+=(mtools)
command -v mkfs.vfat >/dev/null || [ -x /usr/sbin/mkfs.vfat ] || need+=(dosfstools)
bench_install "${need[@]}"
PATH=$PATH:/usr/sbin:/sbin
export MTOOLS_SKIP_CHECK=1

bench_build_carver

# The carver as BEFORE_REF had it, with its own definition files.
before_carver=""
if [ -n "$BEFORE_REF" ]; then
  before_src="$BUILD-before/src"
  echo "Building quarry-carve of $BEFORE_REF in $BUILD-before" >&2
  rm -rf "$before_src"
  mkdir -p "$before_src"
  git -C "$root" archive "$BEFORE_REF" | tar -x -C "$before_src"
  cmake -S "$before_src" -B "$BUILD-before/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DQUARRY_BUILD_GUI=OFF -DQUARRY_BUILD_TESTS=OFF >/dev/null
  cmake --build "$BUILD-before/build" --target quarry-carve quarry_definition_files >/dev/null
  before_carver="$BUILD-before/build/bin/quarry-carve"
  before_resources="$BUILD-before/build/share/quarry"
fi

rm -rf "$WORK"
mkdir -p "$WORK"
card="$WORK/card-with-files.img"
echo "Writing a ${IMAGE_MIB} MiB FAT32 card with the corpus files" >&2
mkfs.vfat -F 32 -n QUARRYCARD -C "$card" $((IMAGE_MIB * 1024)) >/dev/null
tail -n +2 "$CORPUS/MANIFEST.csv" | cut -d, -f1 | while read -r name; do
  mcopy -i "$card" "$CORPUS/$name" "::/$name"
done

cp "$card" "$WORK/formatted.img"
mkfs.vfat -F 32 -n QUARRYCARD "$WORK/formatted.img" >/dev/null
cp "$card" "$WORK/deleted.img"
mdel -i "$WORK/deleted.img" '::/*'
rm -f "$card"

echo "Writing a ${PLANTED_MIB} MiB random image with the corpus files planted in it" >&2
python3 "$here/plant.py" --corpus "$CORPUS" --mib "$PLANTED_MIB" --out "$WORK/planted.img"

# run_carver TAG CARVER RESOURCES IMAGE-NAME MODE
run_carver() {
  local status=0
  echo "quarry-carve ($1) --mode $5 on $4.img" >&2
  "$2" --mode "$5" --json --resources "$3" --output "$WORK/$1-$4-$5" "$WORK/$4.img" \
    >"$WORK/$1-$4-$5.jsonl" || status=$?
  [ "$status" -eq 0 ] || echo "quarry-carve exited with $status" >&2
}

for name in formatted deleted planted; do
  image="$WORK/$name.img"
  for mode in photo video raw; do
    run_carver quarry "$carver" "$resources" "$name" "$mode"
    [ -z "$before_carver" ] || run_carver before "$before_carver" "$before_resources" "$name" "$mode"
  done
  bench_photorec "$name" "$image"
done

python3 "$here/compare.py" --corpus "$CORPUS" --work "$WORK" --images formatted deleted planted
