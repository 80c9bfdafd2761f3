#!/usr/bin/env python3
"""Compares what quarry-carve and PhotoRec recovered from the quality images with the corpus.

First, per image, mode and tool ("before" is quarry-carve as BEFORE_REF built it): files
saved, corpus files saved byte-exact, the format check's verdicts (verified / unverified /
rejected; "before" knew only verified), copies that were not saved again, byte copies saved
more than once, junk saved (files that are no corpus file nor a longer copy of one), and the
bytes written beside the bytes of the real files that mode looks for.

Then per format: files in the image, recovered byte-exact (same SHA-256), recovered with extra
bytes (a recovered file that starts with the original and is longer), missed, and recovered
files that match nothing (counted by the recovered file's extension). Then, for every corpus
file that quarry-carve did not recover byte-exact, what it found at the file's first sector.
"""
import argparse
import csv
import hashlib
import json
import os
import sys
from collections import defaultdict
from pathlib import Path

SECTOR = 512
# Recovered files are named by extension; these spell a manifest format another way.
ALIASES = {"jpeg": "jpg", "jpe": "jpg", "tiff": "tif", "m4a": "mp4", "oga": "ogg", "qt": "mov"}


def sha256(data):
    return hashlib.sha256(data).hexdigest()


class Recovered:
    def __init__(self, path, origin=""):
        self.path = Path(path)
        data = self.path.read_bytes()
        self.size = len(data)
        self.sha = sha256(data)
        self.head = data[:64]
        self.origin = origin

    def starts_with(self, original):
        if self.size <= len(original) or self.head != original[:64]:
            return False
        with open(self.path, "rb") as f:
            return f.read(len(original)) == original


def format_of(name):
    ext = name.rsplit(".", 1)[-1].lower() if "." in name else ""
    return ALIASES.get(ext, ext)


def locate(image, corpus):
    """The first sector of each corpus file in the image."""
    by_head = defaultdict(list)
    for c in corpus:
        by_head[c["data"][:32]].append(c)
    where = {}
    with open(image, "rb") as f:
        data = f.read()
    for offset in range(0, len(data), SECTOR):
        for c in by_head.get(data[offset:offset + 32], ()):
            if c["name"] not in where and data[offset:offset + len(c["data"])] == c["data"]:
                where[c["name"]] = offset // SECTOR
    return where


MODES = ("photo", "video", "raw")


def quarry_items(work, image_name, tag="quarry", modes=MODES):
    items = []
    for mode in modes:
        path = work / f"{tag}-{image_name}-{mode}.jsonl"
        if not path.exists():
            continue
        for line in path.read_text().splitlines():
            event = json.loads(line)
            if event.get("event") == "item":
                event["mode"] = mode
                items.append(event)
    return items


def score(corpus, recovered):
    """exact / extra / missed per corpus file, and the recovered files that match nothing."""
    by_sha = defaultdict(list)
    for r in recovered:
        by_sha[r.sha].append(r)
    verdict, used = {}, set()
    for c in corpus:
        if c["sha256"] in by_sha:
            verdict[c["name"]] = "exact"
            used.update(id(r) for r in by_sha[c["sha256"]])
            continue
        longer = [r for r in recovered if r.starts_with(c["data"])]
        verdict[c["name"]] = "extra" if longer else "missed"
        used.update(id(r) for r in longer)
    junk = [r for r in recovered if id(r) not in used]
    return verdict, junk


def shortfall(item, original):
    """What the original has beyond a saved file that is a prefix of it."""
    if not item.get("saved_path"):
        return ""
    saved = Path(item["saved_path"]).read_bytes()
    if len(saved) >= len(original) or not original.startswith(saved):
        return ""
    rest = original[len(saved):]
    kind = "all zero" if rest.count(0) == len(rest) else "not all zero"
    return f"; a prefix of the original, which goes on for {len(rest)} more bytes ({kind})"


def run_row(corpus, in_image, items, recovered):
    """One run's figures; `recovered` are its saved files, in the order saved."""
    verdict, junk = score(corpus, recovered)
    seen, dups = set(), 0
    for r in recovered:
        dups += r.sha in seen
        seen.add(r.sha)
    checks = defaultdict(int)
    for i in items:
        if "check" in i:
            checks[i["check"]] += 1
        elif i.get("validated"):
            checks["verified"] += 1
    return {
        "saved": len(recovered),
        "exact": sum(1 for c in in_image if verdict[c["name"]] == "exact"),
        "found": {c["name"] for c in in_image if verdict[c["name"]] != "missed"},
        "verified": checks["verified"],
        "unverified": checks["unverified"] if any("check" in i for i in items) else "-",
        "rejected": checks["rejected"] if any("check" in i for i in items) else "-",
        "skipped": sum(1 for i in items if i.get("duplicate_of") or i.get("part_of")),
        "dups": dups,
        "junk": len(junk),
        "bytes": sum(r.size for r in recovered),
    }


def summary(corpus, in_image, work, image_name):
    tags = [t for t in ("before", "quarry") if (work / f"{t}-{image_name}-photo.jsonl").exists()]
    rows = []
    for mode in MODES + ("all",):
        modes = MODES if mode == "all" else (mode,)
        per_tag = {}
        for tag in tags:
            items = quarry_items(work, image_name, tag, modes)
            files = [Recovered(i["saved_path"]) for i in items if i.get("saved_path")]
            per_tag[tag] = run_row(corpus, in_image, items, files)
        found = set().union(*(r["found"] for r in per_tag.values())) if per_tag else set()
        real = sum(len(c["data"]) for c in in_image if c["name"] in found)
        for tag, row in per_tag.items():
            rows.append((mode, "after" if tag == "quarry" else tag, row, real))
    photorec = [Recovered(p) for p in sorted((work / f"photorec-{image_name}").glob("recup*/*"))
                if p.is_file() and p.name != "report.xml"]
    row = run_row(corpus, in_image, [], photorec)
    row["verified"] = row["unverified"] = row["rejected"] = "-"
    rows.append(("all", "PhotoRec", row, sum(len(c["data"]) for c in in_image)))

    head = (f"{'mode':<6} {'tool':<9} {'saved':>6} {'exact':>6} {'verif':>6} {'unver':>6} {'rejec':>6} "
            f"{'copies':>6} {'dups':>5} {'junk':>5} {'MB saved':>9} {'MB real':>8} {'ratio':>6}")
    print(head)
    print("-" * len(head))
    for mode, tool, r, real in rows:
        ratio = f"{r['bytes'] / real:.2f}" if real else "-"
        print(f"{mode:<6} {tool:<9} {r['saved']:>6} {r['exact']:>6} {r['verified']:>6} {r['unverified']:>6} "
              f"{r['rejected']:>6} {r['skipped']:>6} {r['dups']:>5} {r['junk']:>5} {r['bytes'] / 1e6:>9.1f} "
              f"{real / 1e6:>8.1f} {ratio:>6}")
    print("copies: not saved again (found twice, or inside a file saved already); dups: byte copies saved "
          "more than once;\nMB real: the corpus files in the image of the formats that mode recovers")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--corpus", type=Path, required=True)
    parser.add_argument("--work", type=Path, required=True)
    parser.add_argument("--images", nargs="+", required=True)
    args = parser.parse_args()

    corpus = []
    with open(args.corpus / "MANIFEST.csv", newline="") as f:
        for row in csv.DictReader(f):
            row["data"] = (args.corpus / row["name"]).read_bytes()
            corpus.append(row)
    formats = sorted({c["format"] for c in corpus})

    failed = False
    for image_name in args.images:
        image = args.work / f"{image_name}.img"
        where = locate(image, corpus)
        items = quarry_items(args.work, image_name)
        tools = {
            "quarry-carve": [Recovered(i["saved_path"], f'{i["mode"]} {i["name"]}') for i in items
                             if i.get("saved_path")],
            "PhotoRec": [Recovered(p) for p in sorted((args.work / f"photorec-{image_name}").glob("recup*/*"))
                         if p.is_file() and p.name != "report.xml"],
        }
        scores = {tool: score(corpus, files) for tool, files in tools.items()}

        in_image = [c for c in corpus if c["name"] in where]
        print(f"\n{image_name}.img: {len(in_image)} of {len(corpus)} corpus files found intact in the image")
        summary(corpus, in_image, args.work, image_name)
        print()
        head = f"{'format':<7} {'files':>5}"
        for tool in tools:
            head += f" | {tool + ':':<13} {'exact':>5} {'extra':>5} {'missed':>6} {'junk':>5}"
        print(head)
        print("-" * len(head))
        totals = defaultdict(int)
        for fmt in formats + ["other"]:
            members = [c for c in in_image if c["format"] == fmt]
            line = f"{fmt:<7} {len(members):>5}"
            totals["files"] += len(members)
            shown = bool(members)
            for tool, (verdict, junk) in scores.items():
                counts = {k: sum(1 for c in members if verdict[c["name"]] == k) for k in ("exact", "extra", "missed")}
                junk_here = sum(1 for r in junk if (format_of(r.path.name) == fmt) or
                                (fmt == "other" and format_of(r.path.name) not in formats))
                for k, v in counts.items():
                    totals[tool, k] += v
                totals[tool, "junk"] += junk_here
                shown = shown or junk_here > 0
                line += f" | {'':<13} {counts['exact']:>5} {counts['extra']:>5} {counts['missed']:>6} {junk_here:>5}"
            if shown:
                print(line)
        line = f"{'total':<7} {totals['files']:>5}"
        for tool in tools:
            line += (f" | {'':<13} {totals[tool, 'exact']:>5} {totals[tool, 'extra']:>5} "
                     f"{totals[tool, 'missed']:>6} {totals[tool, 'junk']:>5}")
        print("-" * len(head))
        print(line)

        verdict, _ = scores["quarry-carve"]
        photorec_verdict, _ = scores["PhotoRec"]
        if totals["quarry-carve", "exact"] < totals["PhotoRec", "exact"]:
            failed = True
        for c in in_image:
            if verdict[c["name"]] == "exact":
                continue
            start = where[c["name"]]
            found = [i for i in items if i["start_sector"] == start]
            print(f"  {c['name']} ({c['size']} bytes at sector {start}; PhotoRec: {photorec_verdict[c['name']]}):")
            if not found:
                print("    no item starts at its first sector")
            for i in found:
                saved = (f"saved {i['saved_bytes']} bytes, validated {str(i['validated']).lower()}"
                         if i.get("saved_path") else "not saved")
                print(f"    {i['mode']} {i['pass']} {i['name']} sectors [{i['start_sector']}, {i['end_sector']}): "
                      f"{saved}{shortfall(i, c['data'])}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
