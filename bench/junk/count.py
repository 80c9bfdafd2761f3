#!/usr/bin/env python3
"""Counts what quarry-carve and PhotoRec kept from an image that holds no file.

Per mode and type: items found; verified (the validator measured a real file); rejected (the
type has a validator and the structure did not hold); unverified (the type has no validator);
junk that would be saved (verified + unverified, as the saving policy keeps them); and files
actually written. Every file from this image is junk, so the goal is 0 in the last two columns.
"""
import argparse
import json
import os
from collections import Counter, defaultdict
from pathlib import Path


def item_type(name):
    return name.rsplit(".", 1)[-1].upper() if "." in name else ""


def quarry_rows(jsonl, validated_types):
    rows = defaultdict(Counter)
    for line in Path(jsonl).read_text().splitlines():
        event = json.loads(line)
        if event.get("event") != "item":
            continue
        kind = item_type(event["name"])
        row = rows[kind]
        row["found"] += 1
        if event.get("validated"):
            row["verified"] += 1
        elif kind in validated_types:
            row["rejected"] += 1
        else:
            row["unverified"] += 1
        if event.get("saved_path"):
            row["written"] += 1
    for row in rows.values():
        row["would_save"] = row["verified"] + row["unverified"]
    return rows


def photorec_rows(folder):
    rows = defaultdict(Counter)
    for path in Path(folder).glob("recup*/*"):
        if path.is_file() and path.name != "report.xml":
            rows[item_type(path.name)]["written"] += 1
    return rows


def print_table(title, rows):
    columns = ["found", "verified", "rejected", "unverified", "would_save", "written"]
    total = Counter()
    print(f"\n{title}")
    print(f"  {'type':8}" + "".join(f"{c:>11}" for c in columns))
    for kind in sorted(rows):
        total.update(rows[kind])
        print(f"  {kind:8}" + "".join(f"{rows[kind][c]:>11}" for c in columns))
    print(f"  {'all':8}" + "".join(f"{total[c]:>11}" for c in columns))


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--work", required=True)
    parser.add_argument("--validated-types", required=True)
    args = parser.parse_args()
    validated_types = set(Path(args.validated_types).read_text().split())
    for mode in ("photo", "video", "raw"):
        jsonl = Path(args.work) / f"quarry-{mode}.jsonl"
        if jsonl.exists():
            print_table(f"quarry-carve --mode {mode}", quarry_rows(jsonl, validated_types))
    folder = Path(args.work) / "photorec"
    if folder.exists():
        print_table("PhotoRec (files written)", photorec_rows(os.fspath(folder)))


if __name__ == "__main__":
    main()
