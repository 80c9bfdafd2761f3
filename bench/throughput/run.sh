#!/usr/bin/env bash
# Throughput and peak memory of quarry-carve beside foremost and PhotoRec on one
# reproducible image: seeded random filler with the corpus files planted at sector-aligned
# offsets. Every tool runs pinned to one core, with the image's pages in the same cache state
# before each run.
#
#   bench/throughput/run.sh            2 GiB image, cached by reading it
#   CACHE=written bench/throughput/run.sh
#   IMAGE_MIB=512 bench/throughput/run.sh
#
# Environment: IMAGE_MIB (2048), SEED (20240611), CPU (core to pin to, 0), REPEAT (runs of
# each tool, the median is reported; 3), WORK (folder for the image and the outputs), BUILD
# (Release build folder), CORPUS (files to plant), CACHE (how the image is cached before each
# run: "read" evicted and read back, "written" just written, as after dd, "cold" evicted).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
# shellcheck source=../common.sh
. "$here/../common.sh"
IMAGE_MIB=${IMAGE_MIB:-2048}
SEED=${SEED:-20240611}
CPU=${CPU:-0}
REPEAT=${REPEAT:-3}
WORK=${WORK:-$root/build/bench-work/throughput}
BUILD=${BUILD:-$root/build/bench-release}
CORPUS=${CORPUS:-$root/../shared/corpus}
CACHE=${CACHE:-read}
case "$CACHE" in
  read | written | cold) ;;
  *) echo "CACHE must be read, written or cold" >&2; exit 2 ;;
esac

need=()
command -v foremost >/dev/null || need+=(foremost)
command -v photorec >/dev/null || need+=(testdisk)
[ -x /usr/bin/time ] || need+=(time)
bench_install "${need[@]}"

bench_build_carver

mkdir -p "$WORK"
image="$WORK/image-${IMAGE_MIB}MiB-$SEED.img"
stamp="$image.stamp"
recipe="$(sha256sum "$here/make_image.py" | cut -c1-16) $IMAGE_MIB $SEED $(cat "$CORPUS/MANIFEST.csv" | sha256sum | cut -c1-16)"
if [ ! -f "$image" ] || [ "$(cat "$stamp" 2>/dev/null)" != "$recipe" ]; then
  echo "Writing the ${IMAGE_MIB} MiB image (seed $SEED)" >&2
  rm -f "$stamp"
  python3 "$here/make_image.py" --out "$image" --mib "$IMAGE_MIB" --seed "$SEED" --corpus "$CORPUS" \
    --manifest "$image.planted.csv"
  echo "$recipe" >"$stamp"
fi
image_bytes=$(stat -c %s "$image")

evict() {
  sync "$image"
  python3 -c 'import os, sys; os.posix_fadvise(os.open(sys.argv[1], os.O_RDONLY), 0, 0, os.POSIX_FADV_DONTNEED)' "$image"
}
# How the cache was filled (by a writer or by reads) changes what reading costs, so each run
# starts from the same state.
cache_image() {
  case "$CACHE" in
    read) evict && cat "$image" >/dev/null ;;
    written) evict && cp "$image" "$image.copy" && mv "$image.copy" "$image" && sync "$image" ;;
    cold) evict ;;
  esac
}

results="$WORK/results-$CACHE.csv"
echo "tool,mode,seconds,read_bytes,peak_kib,items" >"$results"

# measure NAME MODE READ_BYTES ITEMS_COMMAND PREPARE -- COMMAND...: wall time and peak
# resident set of COMMAND pinned to one core, REPEAT times; PREPARE runs untimed before each
# run, ITEMS_COMMAND counts what the run found.
measure() {
  local name=$1 mode=$2 read_bytes=$3 items_cmd=$4 prepare=$5
  shift 6
  local timing="$WORK/time-$name-$mode.txt" run wall peak
  for run in $(seq "$REPEAT"); do
    echo "Running $name ($mode), $run of $REPEAT" >&2
    eval "$prepare"
    cache_image
    # time(1) reports the wall clock in hundredths of a second, too coarse for a fast scan.
    local started ended
    started=$(date +%s.%N)
    /usr/bin/time -v -o "$timing" taskset -c "$CPU" "$@"
    ended=$(date +%s.%N)
    wall=$(awk -v a="$started" -v b="$ended" 'BEGIN { printf "%.4f", b - a }')
    peak=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$timing")
    echo "$name,$mode,$wall,$(eval "$read_bytes"),$peak,$(eval "$items_cmd")" >>"$results"
  done
}

scanned() { python3 -c 'import json,sys; print(json.loads(open(sys.argv[1]).read().splitlines()[-1])["sectors_scanned"] * 512)' "$1"; }
items() { grep -c '"event":"item"' "$1" || true; }

for mode in photo raw; do
  for passes in both general; do
    flags=(--mode "$mode")
    [ "$passes" = general ] && flags+=(--no-thorough)
    out="$WORK/quarry-$mode-$passes.jsonl"
    measure quarry-carve "$mode-$passes" "scanned $out" "items $out" : -- \
      sh -c 'exec "$0" "$@" >"'"$out"'"' "$carver" --resources "$resources" --json "${flags[@]}" "$image"
  done
done

measure foremost "all-types-quick" "echo $image_bytes" \
  "find '$WORK/foremost' -type f ! -name audit.txt | wc -l" "rm -rf '$WORK/foremost'" -- \
  sh -c 'exec foremost -q -Q -t all -i "$0" -o "$1" >/dev/null' "$image" "$WORK/foremost"

measure photorec "paranoid" "echo $image_bytes" \
  "find '$WORK/photorec' -type f -path '*recup*' ! -name report.xml | wc -l" \
  "rm -rf '$WORK/photorec' && mkdir -p '$WORK/photorec'" -- \
  sh -c 'cd "$0" && photorec /log /d "$0/recup" /cmd "$1" partition_none,options,paranoid,search </dev/null >/dev/null' \
  "$WORK/photorec" "$image"

largest_photo=$(python3 - "$WORK/quarry-photo-both.jsonl" <<'PY'
import json, sys
sizes = [(e["end_sector"] - e["start_sector"]) * 512 for e in map(json.loads, open(sys.argv[1]))
         if e["event"] == "item"]
print(max(sizes, default=0))
PY
)

python3 - "$results" "$image_bytes" "$largest_photo" "$CACHE" <<'PY'
import csv, statistics, sys
runs = list(csv.DictReader(open(sys.argv[1])))
image = int(sys.argv[2])
largest = int(sys.argv[3])
rows = []
for key in dict.fromkeys((r["tool"], r["mode"]) for r in runs):
    mine = [r for r in runs if (r["tool"], r["mode"]) == key]
    rows.append({"tool": key[0], "mode": key[1], "seconds": statistics.median(float(r["seconds"]) for r in mine),
                 "read": int(mine[0]["read_bytes"]), "peak": max(int(r["peak_kib"]) for r in mine),
                 "items": mine[0]["items"]})
photorec = next(r for r in rows if r["tool"] == "photorec")
base = image / photorec["seconds"]
cache = {"read": "page cache filled by reading", "written": "page cache filled by the writer",
         "cold": "nothing cached"}[sys.argv[4]]
print(f"Image: {image / 2**20:.0f} MiB, {cache}, one core, median of {len(runs) // len(rows)} runs. "
      f"Largest photo item: {largest / 2**20:.1f} MiB")
print(f"{'tool':<13} {'mode':<16} {'seconds':>8} {'image MB/s':>11} {'read MB/s':>10} {'peak MiB':>9} "
      f"{'items':>6} {'image xPR':>10} {'read xPR':>9}")
for r in rows:
    secs = r["seconds"]
    rate = image / secs
    read = r["read"] / secs
    print(f"{r['tool']:<13} {r['mode']:<16} {secs:>8.3f} {rate / 1e6:>11.0f} {read / 1e6:>10.0f} "
          f"{r['peak'] / 1024:>9.1f} {r['items']:>6} {rate / base:>10.2f} {read / base:>9.2f}")
limit = 64 + largest / 2**20
print(f"Targets: >= 2000 MB/s read in each quarry-carve mode, >= 5x PhotoRec, peak < {limit:.1f} MiB "
      f"(64 MiB + largest photo item)")
PY
