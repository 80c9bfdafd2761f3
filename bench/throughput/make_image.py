#!/usr/bin/env python3
"""Builds a reproducible disk image: seeded random filler with real files planted at
sector-aligned offsets. Prints one line per planted file (sector, size, name)."""

import argparse
import os
import random

SECTOR = 512
CHUNK = 1 << 20


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--out", required=True, help="image file to write")
    parser.add_argument("--mib", type=int, required=True, help="image size in MiB")
    parser.add_argument("--seed", type=int, required=True)
    parser.add_argument("--corpus", required=True, help="folder of files to plant")
    parser.add_argument("--copies", type=int, default=2, help="copies of each corpus file")
    parser.add_argument("--manifest", required=True, help="where to list the planted files")
    args = parser.parse_args()

    rng = random.Random(args.seed)
    size = args.mib * CHUNK
    with open(args.out, "wb") as image:
        for _ in range(size // CHUNK):
            image.write(rng.randbytes(CHUNK))

    names = sorted(n for n in os.listdir(args.corpus) if not n.endswith(".csv"))
    files = [(n, os.path.getsize(os.path.join(args.corpus, n))) for n in names]
    files = [f for f in files if 0 < f[1] < size // 64] * args.copies
    rng.shuffle(files)

    # One slot per file, spread over the image; each file lands at a random sector of its slot.
    slot = size // max(1, len(files)) // SECTOR  # in sectors
    planted = []
    with open(args.out, "r+b") as image:
        for index, (name, length) in enumerate(files):
            room = slot - (length + SECTOR - 1) // SECTOR
            if room < 1:
                continue
            sector = index * slot + rng.randrange(0, room)
            with open(os.path.join(args.corpus, name), "rb") as source:
                image.seek(sector * SECTOR)
                image.write(source.read())
            planted.append((sector, length, name))

    with open(args.manifest, "w") as manifest:
        manifest.write("sector,size,name\n")
        for sector, length, name in planted:
            manifest.write(f"{sector},{length},{name}\n")


if __name__ == "__main__":
    main()
