#!/usr/bin/env python3
"""Builds card images whose pictures lie in pieces, and scores what a carver saved from them.

  cards.py fat  --corpus DIR --out IMG --truth T.json [--mib 512] [--cluster-sectors 8]
  cards.py ntfs --corpus DIR --out IMG --truth T.json [--mib 256]        (root, FUSE)
  cards.py score --truth T.json --saved DIR

Every picture is a corpus JPEG made unique by a comment segment, written into DCIM/100MEDIA
with its own name and date. Every other one is deleted and larger ones are written after them,
each into the first free clusters, so that they fill one hole and run on into the next: two
pieces. The FAT card is then quick-formatted; on the NTFS volume some files are deleted. The
truth file lists every picture with its digest, date, number of pieces and state.
"""
import argparse
import datetime
import hashlib
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile

FIRST_DATE = datetime.datetime(2021, 6, 1, 9, 0, 0).timestamp()


def corpus_jpegs(corpus):
    names = []
    with open(os.path.join(corpus, "MANIFEST.csv")) as manifest:
        next(manifest)
        for line in manifest:
            name, fmt = line.split(",")[:2]
            if fmt == "jpg":
                names.append(name)
    pool = []
    for name in sorted(set(names)):
        data = open(os.path.join(corpus, name), "rb").read()
        if len(data) >= 20000 and data[:3] == b"\xff\xd8\xff":
            pool.append(data)
    return sorted(pool, key=len)


class Pictures:
    """Unique pictures: a comment segment after the start-of-image marker names each one."""

    def __init__(self, folder):
        self.folder = folder
        self.made = []

    def make(self, base):
        n = len(self.made) + 1
        name = "IMG_%04d.JPG" % n
        tag = b"quarry bench picture %d" % n
        data = base[:2] + b"\xff\xfe" + struct.pack(">H", len(tag) + 2) + tag + base[2:]
        path = os.path.join(self.folder, name)
        with open(path, "wb") as f:
            f.write(data)
        mtime = FIRST_DATE + 3600 * n
        os.utime(path, (mtime, mtime))
        entry = {"name": name, "bytes": len(data), "sha256": hashlib.sha256(data).hexdigest(),
                 "mtime": mtime, "state": "live", "pieces": 0}
        self.made.append(entry)
        return path, entry


def clusters(size, cluster_bytes):
    return -(-size // cluster_bytes)


def plan_second_wave(holes, pool, cluster_bytes, tail=10 ** 9, most=20):
    """Pool indices for new pictures, each filling the first free run and ending in the next;
    `tail` is the free run after the last hole."""
    runs = list(holes) + [tail]
    chosen = []
    while len(runs) > 1 and len(chosen) < most:
        first, second = runs[0], runs[1]
        fits = [i for i, data in enumerate(pool)
                if first < clusters(len(data) + 40, cluster_bytes) <= first + second]
        if not fits:
            runs.pop(0)  # no picture breaks here: leave the hole
            continue
        pick = max(fits, key=lambda i: -abs(clusters(len(pool[i]), cluster_bytes) - first - second // 2))
        used = clusters(len(pool[pick]) + 40, cluster_bytes)
        chosen.append(pick)
        runs = [first + second - used] + runs[2:] if used < first + second else runs[2:]
        if runs and runs[0] == 0:
            runs.pop(0)
    return chosen


# --- FAT32 -----------------------------------------------------------------------------------

def mtools(*args):
    subprocess.run(list(args), check=True, env=dict(os.environ, MTOOLS_SKIP_CHECK="1"),
                   stdout=subprocess.DEVNULL)


def reset_next_free(image):
    """Points the FSInfo hint at the first cluster, so the next file takes the first free ones."""
    with open(image, "r+b") as f:
        boot = f.read(512)
        fsinfo = struct.unpack_from("<H", boot, 48)[0]
        f.seek(fsinfo * 512 + 492)
        f.write(struct.pack("<I", 2))


def fat_pieces(image, name):
    out = subprocess.run(["mshowfat", "-i", image, "::/DCIM/100MEDIA/" + name], check=True,
                         capture_output=True, text=True, env=dict(os.environ, MTOOLS_SKIP_CHECK="1")).stdout
    return out.count("<")


def build_fat(args):
    pool = corpus_jpegs(args.corpus)
    cluster_bytes = args.cluster_sectors * 512
    image = args.out
    if os.path.exists(image):
        os.remove(image)
    subprocess.run(["mkfs.vfat", "-F", "32", "-s", str(args.cluster_sectors), "-n", "QUARRYCARD", "-C", image,
                    str(args.mib * 1024)], check=True, stdout=subprocess.DEVNULL)
    mtools("mmd", "-i", image, "::/DCIM")
    mtools("mmd", "-i", image, "::/DCIM/100MEDIA")
    with tempfile.TemporaryDirectory() as tmp:
        pictures = Pictures(tmp)
        small = [d for d in pool if len(d) < 400000]
        first_wave = [pool[i % len(pool)] if i % 2 else small[(i // 2) % len(small)] for i in range(args.pictures)]
        holes = []
        for i, base in enumerate(first_wave):
            path, entry = pictures.make(base)
            mtools("mcopy", "-m", "-i", image, path, "::/DCIM/100MEDIA/" + entry["name"])
            if i % 2 == 0:
                holes.append(clusters(entry["bytes"], cluster_bytes))
        for i, entry in enumerate(pictures.made):
            if i % 2 == 0:
                mtools("mdel", "-i", image, "::/DCIM/100MEDIA/" + entry["name"])
                entry["state"] = "gone"  # written over by the second wave
        for pick in plan_second_wave(holes, pool, cluster_bytes):
            path, entry = pictures.make(pool[pick])
            reset_next_free(image)
            mtools("mcopy", "-m", "-i", image, path, "::/DCIM/100MEDIA/" + entry["name"])
        for entry in pictures.made:
            if entry["state"] == "live":
                entry["pieces"] = fat_pieces(image, entry["name"])
        made = pictures.made
    # The quick format: new boot sector, FATs and root folder over the old data.
    subprocess.run(["mkfs.vfat", "-F", "32", "-s", str(args.cluster_sectors), "-n", "QUARRYCARD", image],
                   check=True, stdout=subprocess.DEVNULL)
    json.dump({"filesystem": "fat32", "cluster_bytes": cluster_bytes, "pictures": made}, open(args.truth, "w"),
              indent=1)


# --- NTFS ------------------------------------------------------------------------------------

def ntfs_pieces(image, entries, folder, cluster_bytes=4096):
    """Pieces of each file, found by where its clusters lie in the image."""
    where = {}
    with open(image, "rb") as f:
        index = 0
        while True:
            block = f.read(cluster_bytes)
            if not block:
                break
            if block.strip(b"\0"):
                where.setdefault(hashlib.blake2b(block, digest_size=16).digest(), []).append(index)
            index += 1
    for entry in entries:
        data = open(os.path.join(folder, entry["name"]), "rb").read()
        pieces, previous = 0, None
        for at in range(0, len(data) - cluster_bytes + 1, cluster_bytes):
            found = where.get(hashlib.blake2b(data[at:at + cluster_bytes], digest_size=16).digest(), [])
            if previous is not None and previous + 1 in found:
                previous += 1
                continue
            # Pictures made from one corpus file share all but their first cluster: after a
            # break, the nearest copy further on is taken.
            pieces += 1
            later = [i for i in found if previous is None or i > previous]
            previous = min(later) if later else (found[0] if found else None)
        entry["pieces"] = max(pieces, 1)


def build_ntfs(args):
    pool = corpus_jpegs(args.corpus)
    image = args.out
    if os.path.exists(image):
        os.remove(image)
    with open(image, "wb") as f:
        f.truncate(args.mib << 20)
    subprocess.run(["mkntfs", "-F", "-Q", "-q", "-c", "4096", "-L", "QUARRYNTFS", image], check=True)
    mount = tempfile.mkdtemp()
    subprocess.run(["ntfs-3g", image, mount], check=True)
    try:
        folder = os.path.join(mount, "DCIM", "100MEDIA")
        os.makedirs(folder)
        with tempfile.TemporaryDirectory() as tmp:
            pictures = Pictures(tmp)
            small = [d for d in pool if len(d) < 400000]
            holes = []
            for i in range(args.pictures):
                path, entry = pictures.make(pool[i % len(pool)] if i % 2 else small[(i // 2) % len(small)])
                shutil.copy2(path, folder)
                if i % 2 == 0:
                    holes.append(clusters(entry["bytes"], 4096))
            # The rest of the volume is filled, so that the new pictures can only go into holes.
            with open(os.path.join(mount, "filler.bin"), "wb") as filler:
                chunk = os.urandom(1 << 20)
                try:
                    while True:
                        filler.write(chunk)
                        filler.flush()
                except OSError:
                    pass
            os.sync()
            for i, entry in enumerate(pictures.made):
                if i % 2 == 0:
                    os.remove(os.path.join(folder, entry["name"]))
                    entry["state"] = "gone"
            os.sync()
            for pick in plan_second_wave(holes, pool, 4096, tail=0):
                path, entry = pictures.make(pool[pick])
                try:
                    shutil.copy2(path, folder)
                except OSError:  # the volume is full: this one is not on it
                    pictures.made.pop()
                    break
                os.sync()
            made = pictures.made
            live = [e for e in made if e["state"] == "live"]
            subprocess.run(["umount", mount], check=True)
            ntfs_pieces(image, live, tmp)
            subprocess.run(["ntfs-3g", image, mount], check=True)
            # Every other surviving picture is deleted: its record stays, marked free.
            for entry in live[::2]:
                os.remove(os.path.join(folder, entry["name"]))
                entry["state"] = "deleted"
    finally:
        subprocess.run(["umount", mount], check=False)
        os.rmdir(mount)
    json.dump({"filesystem": "ntfs", "cluster_bytes": 4096, "pictures": made}, open(args.truth, "w"), indent=1)


# --- scoring ---------------------------------------------------------------------------------

def score(args):
    truth = json.load(open(args.truth))
    saved = {}
    for folder, _, files in os.walk(args.saved):
        for name in files:
            path = os.path.join(folder, name)
            digest = hashlib.sha256(open(path, "rb").read()).hexdigest()
            saved.setdefault(digest, []).append((name.upper(), os.stat(path).st_mtime))
    pictures = [p for p in truth["pictures"] if p["state"] in ("live", "deleted")]

    def exact(p):
        return p["sha256"] in saved

    def named(p):
        return any(n == p["name"].upper() and abs(t - p["mtime"]) <= 2 for n, t in saved.get(p["sha256"], []))

    def share(group, test):
        return {"of": len(group), "ok": sum(1 for p in group if test(p))}

    two = [p for p in pictures if p["pieces"] == 2]
    result = {"bifragmented_exact": share(two, exact),
              "more_pieces_exact": share([p for p in pictures if p["pieces"] > 2], exact),
              "all_exact": share(pictures, exact)}
    if truth["filesystem"] == "fat32":
        result["named_and_dated"] = share(pictures, named)
    else:
        deleted = [p for p in pictures if p["state"] == "deleted"]
        result["deleted_exact"] = share(deleted, exact)
        result["deleted_named_and_dated"] = share(deleted, named)
    json.dump(result, sys.stdout)
    print()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    sub = parser.add_subparsers(dest="command", required=True)
    for fs in ("fat", "ntfs"):
        p = sub.add_parser(fs)
        p.add_argument("--corpus", required=True)
        p.add_argument("--out", required=True)
        p.add_argument("--truth", required=True)
        p.add_argument("--mib", type=int, default=512 if fs == "fat" else 64)
        p.add_argument("--pictures", type=int, default=40, help="pictures in the first wave")
        if fs == "fat":
            p.add_argument("--cluster-sectors", type=int, default=8)
    p = sub.add_parser("score")
    p.add_argument("--truth", required=True)
    p.add_argument("--saved", required=True)
    args = parser.parse_args()
    {"fat": build_fat, "ntfs": build_ntfs, "score": score}[args.command](args)


if __name__ == "__main__":
    main()
