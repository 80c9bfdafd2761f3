#!/usr/bin/env bash
# Pictures in two pieces: how many quarry-carve and PhotoRec save byte-exact, on FAT32 cards
# (pictures written, every other one deleted, larger ones written into the first free clusters
# so that each fills one hole and ends in the next, then the card quick-formatted) and on an
# NTFS volume filled the same way through ntfs-3g, with some of its pictures deleted at the end.
# Also measured from the saved files, for the file-system traces: the quick-formatted card's
# pictures saved with their own name and date, and the deleted NTFS pictures saved byte-exact
# and with their name and date.
#
#   bench/fragments/run.sh
#   CLUSTERS="8" bench/fragments/run.sh
#
# Environment: CLUSTERS (FAT32 cluster sizes in sectors, one card each; "8 64"), PICTURES
# (pictures in the first wave, 40), WORK (folder for the images and outputs), BUILD (Release
# build folder), CORPUS (the corpus with its MANIFEST.csv). The NTFS volume needs root and FUSE;
# without them it is left out.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
# shellcheck source=../common.sh
. "$here/../common.sh"
CLUSTERS=${CLUSTERS:-8 64}
PICTURES=${PICTURES:-40}
WORK=${WORK:-$root/build/bench-work/fragments}
BUILD=${BUILD:-$root/build/bench-release}
CORPUS=${CORPUS:-$root/../shared/corpus}

need=()
command -v photorec >/dev/null || need+=(testdisk)
command -v mcopy >/dev/null || need+=(mtools)
command -v mkfs.vfat >/dev/null || [ -x /usr/sbin/mkfs.vfat ] || need+=(dosfstools)
command -v ntfs-3g >/dev/null || need+=(ntfs-3g)
bench_install "${need[@]}"
PATH=$PATH:/usr/sbin:/sbin

bench_build_carver

rm -rf "$WORK"
mkdir -p "$WORK"
images=()
for c in $CLUSTERS; do
  # FAT32 wants at least 65525 clusters.
  mib=$(((c * 512 * 70000 >> 20) > 512 ? (c * 512 * 70000 >> 20) : 512))
  echo "Writing a ${mib} MiB FAT32 card with $((c * 512))-byte clusters" >&2
  python3 "$here/cards.py" fat --corpus "$CORPUS" --out "$WORK/fat$c.img" --truth "$WORK/fat$c.json" \
    --mib "$mib" --cluster-sectors "$c" --pictures "$PICTURES"
  images+=("fat$c")
done
if [ "$(id -u)" -eq 0 ] && [ -c /dev/fuse ]; then
  echo "Writing an NTFS volume through ntfs-3g" >&2
  python3 "$here/cards.py" ntfs --corpus "$CORPUS" --out "$WORK/ntfs.img" --truth "$WORK/ntfs.json" \
    --pictures "$PICTURES" 2>/dev/null
  images+=(ntfs)
else
  echo "No root or no FUSE: the NTFS volume is left out" >&2
fi

for name in "${images[@]}"; do
  image="$WORK/$name.img"
  for mode in photo raw; do
    echo "quarry-carve --mode $mode on $name.img" >&2
    "$carver" --mode "$mode" --json --resources "$resources" --output "$WORK/quarry-$name-$mode" "$image" \
      >"$WORK/quarry-$name-$mode.jsonl" || echo "quarry-carve exited with $?" >&2
  done
  bench_photorec "$name" "$image"
done

python3 - "$WORK" "$here/cards.py" "${images[@]}" <<'PY'
import json, subprocess, sys
work, cards, images = sys.argv[1], sys.argv[2], sys.argv[3:]
def cell(share):
    return "%d/%d (%d %%)" % (share["ok"], share["of"], 100 * share["ok"] // share["of"]) if share["of"] else "-"
rows = [("image", "tool", "2 pieces exact", "3+ pieces exact", "all exact", "named+dated", "deleted exact")]
for image in images:
    for tool, folder in (("quarry photo", "quarry-%s-photo"), ("quarry raw", "quarry-%s-raw"), ("PhotoRec", "photorec-%s")):
        out = subprocess.run([sys.executable, cards, "score", "--truth", "%s/%s.json" % (work, image),
                              "--saved", "%s/%s" % (work, folder % image)], check=True, capture_output=True, text=True)
        s = json.loads(out.stdout)
        named = s.get("named_and_dated") or s.get("deleted_named_and_dated")
        rows.append((image, tool, cell(s["bifragmented_exact"]), cell(s["more_pieces_exact"]), cell(s["all_exact"]),
                     cell(named), cell(s["deleted_exact"]) if "deleted_exact" in s else "-"))
widths = [max(len(r[i]) for r in rows) for i in range(len(rows[0]))]
for r in rows:
    print("  ".join(c.ljust(w) for c, w in zip(r, widths)))
print("named+dated: pictures of the card (FAT) or deleted pictures (NTFS) saved byte-exact under their own name and date")
PY
