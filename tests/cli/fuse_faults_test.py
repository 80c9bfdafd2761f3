"""quarry-carve on a medium whose reads fail: a read-only FUSE file system serves a disk image,
failing chosen sectors with EIO, or ending the file early as if it were cut short during the scan.

Every saved file must be its original with exactly its failing sectors zeroed, those sectors counted
once per pass, and the scan must end complete.

    fuse_faults_test.py CARVER RESOURCES CORPUS
    fuse_faults_test.py --serve IMAGE MOUNTPOINT BAD_SECTORS END_BYTE   (the file system itself)
"""
import errno
import hashlib
import itertools
import json
import os
import stat
import subprocess
import sys
import tempfile
import time

SECTOR = 512
SKIP = 77
IMAGE_SECTORS = 16384  # 8 MiB

# Corpus file, first sector, sectors of it that fail (counted from its first sector).
PLANTED = [
    ("012_Wood.jpg", 100, [500]),
    ("013_LadyBird.jpg", 1500, [300]),
    ("014_TwoWings.jpg", 2400, [100, 900]),
    ("047_fujifilm-dx10.jpg", 4800, []),
    ("010_Dune.jpg", 5200, [1000]),
    ("018_julia-set.png", 7400, []),
    ("031_shared-mime-info-spec.pdf", 8000, [100]),
]
FILLER_BAD = [50, 12000]  # unreadable sectors outside every file


def serve(image, mountpoint, bad, end_byte):
    from fusepy import FUSE, FuseOSError, Operations

    data = open(image, "rb").read()
    size = len(data)

    class FailingImage(Operations):
        def getattr(self, path, fh=None):
            if path == "/":
                return dict(st_mode=stat.S_IFDIR | 0o555, st_nlink=2)
            if path == "/card.img":
                return dict(st_mode=stat.S_IFREG | 0o444, st_nlink=1, st_size=size)
            raise FuseOSError(errno.ENOENT)

        def readdir(self, path, fh):
            return [".", "..", "card.img"]

        def read(self, path, length, offset, fh):
            first, last = offset // SECTOR, (offset + length - 1) // SECTOR
            if any(first <= s <= last for s in bad):
                raise FuseOSError(errno.EIO)
            return data[offset:min(offset + length, end_byte)]

    # direct_io: every read reaches this server, so what fails does not depend on what the
    # kernel happened to cache or read ahead.
    FUSE(FailingImage(), mountpoint, foreground=True, ro=True, direct_io=True)


def build_image(corpus, path):
    image = bytearray(IMAGE_SECTORS * SECTOR)
    for name, sector, _ in PLANTED:
        body = open(os.path.join(corpus, name), "rb").read()
        image[sector * SECTOR:sector * SECTOR + len(body)] = body
    open(path, "wb").write(image)


def zeroed(body, start_sector, lost):
    """`body`, saved from `start_sector` on, with the bytes of the lost sectors zeroed."""
    body = bytearray(body)
    for s in lost:
        k = s - start_sector
        if 0 <= k * SECTOR < len(body):
            body[k * SECTOR:(k + 1) * SECTOR] = bytes(len(body[k * SECTOR:(k + 1) * SECTOR]))
    return bytes(body), sum(1 for s in lost if 0 <= (s - start_sector) * SECTOR < len(body))


class Mount:
    def __init__(self, image, point, bad, end_byte):
        self.point = point
        os.mkdir(self.point)
        self.server = subprocess.Popen(
            [sys.executable, __file__, "--serve", image, self.point, ",".join(map(str, bad)), str(end_byte)],
            stderr=subprocess.PIPE)
        for _ in range(100):
            if os.path.ismount(self.point) or self.server.poll() is not None:
                break
            time.sleep(0.05)
        self.ok = os.path.ismount(self.point)

    def close(self):
        subprocess.run(["fusermount3", "-u", self.point], stderr=subprocess.DEVNULL)
        try:
            self.server.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.server.kill()


def carve(carver, resources, medium, output, mode, types):
    # A file cut short by the end of the medium no longer holds its structure: kept on request.
    run = subprocess.run([carver, "--resources", resources, "--json", "--no-thorough", "--mode", mode,
                          "--types", types, "--keep-rejected", "--output", output, medium],
                         capture_output=True, text=True, timeout=300)
    events = [json.loads(line) for line in run.stdout.splitlines() if line.strip()]
    return run, events


def check(condition, what):
    if not condition:
        raise AssertionError(what)


def main():
    if sys.argv[1] == "--serve":
        bad = [int(s) for s in sys.argv[4].split(",") if s]
        serve(sys.argv[2], sys.argv[3], bad, int(sys.argv[5]))
        return 0
    carver, resources, corpus = sys.argv[1:4]
    if not os.path.exists("/dev/fuse"):
        print("SKIP: /dev/fuse is absent, so no failing medium can be served")
        return SKIP
    bad = sorted(FILLER_BAD + [sector + k for _, sector, ks in PLANTED for k in ks])
    half = IMAGE_SECTORS // 2 * SECTOR
    # Failing sectors, then a medium cut short at its middle (inside the PDF).
    cases = [("failing sectors", bad, IMAGE_SECTORS * SECTOR), ("cut short", [], half)]
    modes = (("photo", "JPG,PNG"), ("raw", "PDF"))
    with tempfile.TemporaryDirectory() as folder:
        image = os.path.join(folder, "card.img")
        build_image(corpus, image)
        # What the healthy medium gives, by start sector.
        healthy = {}
        for mode, types in modes:
            run, events = carve(carver, resources, image, os.path.join(folder, "healthy-" + mode), mode, types)
            check(run.returncode == 0, f"healthy {mode}: exit {run.returncode}: {run.stderr}")
            for e in events:
                if e["event"] == "item" and e["saved_path"]:
                    healthy[(mode, e["start_sector"])] = open(e["saved_path"], "rb").read()
        check(len(healthy) == len(PLANTED), f"healthy medium: {len(healthy)} files saved")

        # A fresh mount for each run: a file found cut short stays short for the kernel.
        for (label, failing, end_byte), (mode, types) in itertools.product(cases, modes):
            where = f"{label}, {mode}: "
            mount = Mount(image, os.path.join(folder, f"{label}-{mode}".replace(" ", "-")), failing, end_byte)
            if not mount.ok:
                err = mount.server.stderr.read().decode(errors="replace") if mount.server.poll() is not None else ""
                mount.close()
                print("SKIP: the FUSE file system could not be mounted: " + err.strip())
                return SKIP
            try:
                medium = os.path.join(mount.point, "card.img")
                lost = set(failing) | set(range(end_byte // SECTOR, IMAGE_SECTORS))
                run, events = carve(carver, resources, medium, os.path.join(folder, label + mode), mode, types)
            finally:
                mount.close()
            check(run.returncode == 0, where + f"exit {run.returncode}: {run.stderr}")
            end = events[-1]
            check(end["event"] == "end" and end["status"] == "complete", where + str(end))
            check(end["bad_sectors"] == len(lost), where + f"bad_sectors {end['bad_sectors']} != {len(lost)}")
            items = {e["start_sector"]: e for e in events if e["event"] == "item"}
            for (kind, start), body in healthy.items():
                if kind != mode or start >= end_byte // SECTOR:
                    continue
                item = items.get(start)
                check(item is not None and item["saved_path"], where + f"sector {start} not saved: {item}")
                saved = open(item["saved_path"], "rb").read()
                expected, holes = zeroed(body, start, lost)
                cut = end_byte - start * SECTOR
                if len(body) > cut:  # cut short: what could be read, then zeros
                    check(saved[:cut] == body[:cut] and not any(saved[cut:]), where + f"sector {start}: cut file")
                    continue
                check(saved == expected, where + f"sector {start}: saved {len(saved)} bytes, "
                      f"{hashlib.sha256(saved).hexdigest()[:12]} is not the healthy file "
                      f"({len(body)} bytes) with {holes} sectors zeroed")
                check(item["unreadable_sectors"] == holes,
                      where + f"sector {start}: unreadable_sectors {item['unreadable_sectors']} != {holes}")
    print("ok")
    return 0


if __name__ == "__main__":
    sys.exit(main())
