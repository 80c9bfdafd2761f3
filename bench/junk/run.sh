#!/usr/bin/env bash
# Junk on a disk full of compressed data: a seeded image of random bytes holds no file at all,
# so every item that quarry-carve would save from it is junk. quarry-carve --output runs in
# each mode with both passes, and PhotoRec once; the counts are per type.
#
#   bench/junk/run.sh
#   IMAGE_MIB=256 bench/junk/run.sh
#
# Environment: IMAGE_MIB (1024), SEED (20240611), WORK (folder for the image and the outputs),
# BUILD (Release build folder).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
# shellcheck source=../common.sh
. "$here/../common.sh"
IMAGE_MIB=${IMAGE_MIB:-1024}
SEED=${SEED:-20240611}
WORK=${WORK:-$root/build/bench-work/junk}
BUILD=${BUILD:-$root/build/bench-release}

need=()
command -v photorec >/dev/null || need+=(testdisk)
command -v openssl >/dev/null || need+=(openssl)
bench_install "${need[@]}"

bench_build_carver

mkdir -p "$WORK"
image="$WORK/random-${IMAGE_MIB}MiB-$SEED.img"
if [ ! -f "$image" ] || [ "$(stat -c %s "$image")" -ne $((IMAGE_MIB << 20)) ]; then
  echo "Writing the ${IMAGE_MIB} MiB random image (seed $SEED)" >&2
  # A cipher stream keyed by the seed: reproducible, and far faster than a script's generator.
  head -c $((IMAGE_MIB << 20)) /dev/zero |
    openssl enc -aes-128-ctr -nosalt -pbkdf2 -pass "pass:$SEED" -out "$image"
fi

# Types that have a validator, as the registry spells them.
grep -o '{"[A-Z0-9]*", validators::' "$root/src/results/validators/registry.cpp" |
  cut -d'"' -f2 >"$WORK/validated-types.txt"

for mode in photo video raw; do
  echo "quarry-carve --mode $mode" >&2
  rm -rf "$WORK/quarry-$mode"
  status=0
  "$carver" --mode "$mode" --json --resources "$resources" --output "$WORK/quarry-$mode" "$image" \
    >"$WORK/quarry-$mode.jsonl" || status=$?
  [ "$status" -eq 0 ] || echo "quarry-carve exited with $status" >&2
  rm -rf "$WORK/quarry-$mode"
done

echo "PhotoRec" >&2
rm -rf "$WORK/photorec"
mkdir -p "$WORK/photorec"
(cd "$WORK/photorec" &&
  photorec /log /d "$WORK/photorec/recup" /cmd "$image" \
    partition_none,options,paranoid,fileopt,everything,enable,wholespace,search </dev/null >/dev/null)

python3 "$here/count.py" --work "$WORK" --validated-types "$WORK/validated-types.txt"
