#!/usr/bin/env python3
"""Validates what `vornix --json` and `vornix --theme-json` print against the
JSON Schemas in docs/.

usage: json_schema_check.py VORNIX SCHEMA_DIR PATH...

Every PATH is a package or a folder whose .cab, .tsk and .000 files are all
checked (a folder that is not there is skipped with a note). Each package is
printed alone (one indented document), all of them together (JSON Lines, one
line each) and, for a .tsk, as a theme. Exits 0 when every document is valid,
1 when one is not, 77 when there was no package at all.
"""
import json
import pathlib
import subprocess
import sys

import jsonschema

PACKAGE_TYPES = {".cab", ".tsk", ".000"}


def packages(paths):
    found = []
    for arg in paths:
        path = pathlib.Path(arg)
        if path.is_dir():
            found += sorted(p for p in path.iterdir() if p.is_file() and p.suffix.lower() in PACKAGE_TYPES)
        elif path.suffix.lower() in PACKAGE_TYPES:
            found.append(path)  # also one that is not there: its document names the error
        else:
            print(f"skipped: {arg} (no such folder)")
    return found


def run(vornix, args):
    done = subprocess.run([vornix] + args, capture_output=True, timeout=300)
    return done.returncode, done.stdout.decode("utf-8")


def main():
    if len(sys.argv) < 4:
        print(__doc__)
        return 2
    vornix, schema_dir = sys.argv[1], pathlib.Path(sys.argv[2])
    validators = {}
    for name in ("vornix-analysis", "vornix-theme"):
        schema = json.loads((schema_dir / f"{name}.schema.json").read_text())
        jsonschema.Draft202012Validator.check_schema(schema)
        validators[name] = jsonschema.Draft202012Validator(schema)
    found = packages(sys.argv[3:])
    if not found:
        print("no packages to check")
        return 77

    failures = 0
    checked = 0

    def check(label, text, schema, code):
        nonlocal failures, checked
        checked += 1
        try:
            doc = json.loads(text)
        except ValueError as e:
            failures += 1
            print(f"FAIL {label}: not JSON ({e})")
            return
        errors = sorted(validators[schema].iter_errors(doc), key=lambda e: list(e.absolute_path))
        for e in errors[:5]:
            # The deepest branch of a "null or ..." that failed, rather than the whole value.
            while e.context:
                e = max(e.context, key=lambda c: len(c.absolute_path))
            print(f"FAIL {label}: /{'/'.join(map(str, e.absolute_path))}: {e.message[:300]}")
        failures += bool(errors)
        # The document and the exit code tell the same story.
        if code is not None and ("error" in doc) != (code == 1):
            failures += 1
            print(f"FAIL {label}: exit code {code}, error field {'present' if 'error' in doc else 'absent'}")

    for p in found:
        code, out = run(vornix, ["--json", str(p)])
        check(f"--json {p.name}", out, "vornix-analysis", code)
        if p.suffix.lower() == ".tsk":
            code, out = run(vornix, ["--theme-json", str(p)])
            check(f"--theme-json {p.name}", out, "vornix-theme", code)
    if len(found) > 1:
        code, out = run(vornix, ["--json"] + [str(p) for p in found])
        lines = out.splitlines()
        if len(lines) != len(found):
            failures += 1
            print(f"FAIL JSON Lines: {len(lines)} lines for {len(found)} packages")
        for p, line in zip(found, lines):
            check(f"JSON Lines {p.name}", line, "vornix-analysis", None)
    print(f"{checked} documents of {len(found)} packages checked, {failures} failure(s)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
