#!/usr/bin/env bash
# Recovery quality of quarry-carve beside PhotoRec on two FAT32 card images built from the
# corpus: every corpus file is copied onto a fresh card with mtools (no mounting, so the
# files lie contiguous), then one copy of the card is quick-formatted and in the other the
# files are deleted. quarry-carve --output runs in each mode (photo, video, raw) and PhotoRec
# once on each image; the recovered files are compared with the originals by SHA-256.
#
#   bench/quality/run.sh
#   IMAGE_MIB=256 bench/quality/run.sh
#
# Environment: IMAGE_MIB (card size, 128), WORK (folder for the images and the outputs),
# BUILD (Release build folder), CORPUS (files to copy, with their MANIFEST.csv).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
# shellcheck source=../common.sh
. "$here/../common.sh"
IMAGE_MIB=${IMAGE_MIB:-128}
WORK=${WORK:-$root/build/bench-work/quality}
BUILD=${BUILD:-$root/build/bench-release}
CORPUS=${CORPUS:-$root/../shared/corpus}

need=()
command -v photorec >/dev/null || need+=(testdisk)
command -v mcopy >/dev/null || need+=(mtools)
command -v mkfs.vfat >/dev/null || [ -x /usr/sbin/mkfs.vfat ] || need+=(dosfstools)
bench_install "${need[@]}"
PATH=$PATH:/usr/sbin:/sbin
export MTOOLS_SKIP_CHECK=1

bench_build_carver

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

for name in formatted deleted; do
  image="$WORK/$name.img"
  for mode in photo video raw; do
    echo "quarry-carve --mode $mode on $name.img" >&2
    status=0
    "$carver" --mode "$mode" --json --resources "$resources" --output "$WORK/quarry-$name" "$image" \
      >"$WORK/quarry-$name-$mode.jsonl" || status=$?
    [ "$status" -eq 0 ] || echo "quarry-carve exited with $status" >&2
  done
  echo "PhotoRec on $name.img" >&2
  mkdir -p "$WORK/photorec-$name"
  (cd "$WORK/photorec-$name" &&
    photorec /log /d "$WORK/photorec-$name/recup" /cmd "$image" \
      partition_none,options,paranoid,fileopt,everything,enable,wholespace,search </dev/null >/dev/null)
done

python3 "$here/compare.py" --corpus "$CORPUS" --work "$WORK" --images formatted deleted
