#!/usr/bin/env python3
"""Writes seeded random bytes with every corpus file planted at a sector-aligned offset.

The files are spread over the image in a seeded order with random gaps between them, so the
carvers meet them among bytes that look like nothing, as on a worn medium.
"""
import argparse
import csv
import random
from pathlib import Path

SECTOR = 512
CHUNK = 64 << 20


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--corpus", type=Path, required=True)
    parser.add_argument("--mib", type=int, required=True)
    parser.add_argument("--out", type=Path, required=True)
    parser.add_argument("--seed", type=int, default=20261206)
    args = parser.parse_args()

    rng = random.Random(args.seed)
    size = args.mib << 20
    with open(args.corpus / "MANIFEST.csv", newline="") as f:
        names = [row["name"] for row in csv.DictReader(f)]
    rng.shuffle(names)
    files = [(args.corpus / n).read_bytes() for n in names]
    used = sum((len(d) + SECTOR - 1) // SECTOR for d in files)
    spare = size // SECTOR - used
    if spare < len(files):
        raise SystemExit(f"{args.mib} MiB is too small for the corpus")
    cuts = sorted(rng.randrange(spare) for _ in files)

    with open(args.out, "wb") as out:
        for start in range(0, size, CHUNK):
            out.write(rng.randbytes(min(CHUNK, size - start)))
        sector, previous = 0, 0
        for data, cut in zip(files, cuts):
            sector += cut - previous
            previous = cut
            out.seek(sector * SECTOR)
            out.write(data)
            sector += (len(data) + SECTOR - 1) // SECTOR


if __name__ == "__main__":
    main()
