#!/usr/bin/env python3
"""Real runs of korvane --events, each line checked against docs/events.schema.json.

usage: events_schema.py KORVANE SCHEMA

Each case makes a source tree and a copy with known faults, runs one command
with --events, and checks every record against the schema, the order of the
records (start first, summary last), that the problem records are the ones
the faults call for, and that the summary agrees with them.
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile

try:
    import jsonschema
except ImportError:
    sys.exit("events_schema.py: python3-jsonschema is missing (scripts/setup-linux.sh linux installs it)")

korvane, schema_path = sys.argv[1], sys.argv[2]
with open(schema_path, encoding="utf-8") as f:
    schema = json.load(f)
validator = jsonschema.Draft7Validator(schema)
failures = []


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def make_trees(work):
    """A source and its copy on a disc (disc/src): one file missing, one cut short, one altered, one extra."""
    src, copy = os.path.join(work, "src"), os.path.join(work, "disc", "src")
    files = {
        "a.txt": b"alpha\n",
        "sub/b.txt": b"bravo\n",
        "sub/\u65e5\u672c.txt".encode(): b"\xe6\x97\xa5\n",
        "big.bin": os.urandom(40000),
        "line\nbreak.txt".encode(): b"odd name\n",
    }
    for name, data in files.items():
        name = name.decode() if isinstance(name, bytes) else name
        write(os.path.join(src, name), data)
        write(os.path.join(copy, name), data)
    os.remove(os.path.join(copy, "a.txt"))                      # MISSING
    os.makedirs(os.path.join(src, "only-here"))                 # MISSING, a folder
    write(os.path.join(copy, "big.bin"), b"short")               # SIZE
    write(os.path.join(copy, "sub/b.txt"), b"brave\n")           # CONTENT
    write(os.path.join(copy, "extra.txt"), b"not in the source")  # EXTRA
    return src, copy


def records(path):
    with open(path, encoding="utf-8") as f:
        return [json.loads(line) for line in f]


def check_run(name, argv, expect_exit, expect_statuses, events):
    run = subprocess.run(argv, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if run.returncode != expect_exit:
        failures.append(f"{name}: exit {run.returncode}, expected {expect_exit}\n{run.stdout.decode(errors='replace')}"
                        f"{run.stderr.decode(errors='replace')}")
        return
    recs = records(events)
    for i, rec in enumerate(recs):
        for err in validator.iter_errors(rec):
            failures.append(f"{name}: line {i + 1} {json.dumps(rec)}: {err.message}")
    kinds = [r["kind"] for r in recs]
    if not kinds or kinds[0] != "start" or kinds[-1] != "summary" or kinds.count("summary") != 1:
        failures.append(f"{name}: records are {kinds}, expected start ... summary")
        return
    statuses = sorted(r["status"] for r in recs if r["kind"] == "problem")
    if statuses != sorted(expect_statuses):
        failures.append(f"{name}: problems {statuses}, expected {sorted(expect_statuses)}")
    summary = recs[-1]
    if summary["problems"] != len(statuses) or summary["exit_status"] != expect_exit:
        failures.append(f"{name}: summary {summary} does not match {len(statuses)} problems, exit {expect_exit}")
    for r in recs:
        # A pair's source is known, whoever found the problem: the library or the tool's own walk.
        if r["kind"] == "problem" and r["status"] == "MISSING" and argv[1] == "compare" and not r["source"]["path"]:
            failures.append(f"{name}: MISSING without its source: {r}")
        if r["kind"] == "problem" and r["status"] == "CONTENT":
            disc, source = r["disc"], r["source"]
            if not disc["checksum"] or not source["checksum"] or disc["checksum"] == source["checksum"]:
                failures.append(f"{name}: CONTENT without two different checksums: {r}")
            # A manifest knows no sizes; a pair of files does.
            if source["path"] is not None and (disc["size"] is None or disc["size"] != source["size"]):
                failures.append(f"{name}: CONTENT without equal sizes: {r}")


with tempfile.TemporaryDirectory(prefix="korvane-events-") as work:
    src, copy = make_trees(work)
    clean = os.path.join(work, "clean")
    shutil.copytree(src, clean)
    media = os.path.join(work, "media")
    subprocess.run([korvane, "describe", "--number", "1", "--out", media, "--target", "\\", "--sums", src],
                   check=True, stdout=subprocess.DEVNULL)
    cases = [
        # name, arguments after the command, exit status, problem statuses
        ("compare with faults", ["compare", src + "/", copy], 1, ["MISSING", "MISSING", "SIZE", "CONTENT", "EXTRA"]),
        ("compare of a faithful copy", ["compare", src + "/", clean], 0, []),
        # A manifest holds no sizes: the short file is CONTENT.
        ("check with faults", ["check", os.path.join(media, "Media1.sha256"), "--root", os.path.dirname(copy)], 1,
         ["MISSING", "CONTENT", "CONTENT", "EXTRA"]),
        ("demo", ["demo"], 0, ["CONTENT", "MISSING"]),
    ]
    for i, (name, args, expect_exit, statuses) in enumerate(cases):
        events = os.path.join(work, f"events{i}.jsonl")
        check_run(name, [korvane] + args + ["--events", events], expect_exit, statuses, events)

    # The schema itself must refuse what is wrong, or the checks above prove nothing.
    good = {"version": 1, "kind": "end", "files_listed": 3}
    for bad in [dict(good, version=2), dict(good, kind="finish"), dict(good, files_listed=-1),
                {"version": 1, "kind": "progress", "done": 1, "total": 2, "unit": "bytes"}]:
        if validator.is_valid(bad):
            failures.append(f"the schema accepts {bad}")
    if not validator.is_valid(good):
        failures.append(f"the schema refuses {good}")

if failures:
    print("\n".join(failures))
    sys.exit(1)
print("events: every record of", len(cases), "runs matches the schema")
