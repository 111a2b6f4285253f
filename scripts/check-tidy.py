#!/usr/bin/env python3
"""Runs clang-tidy (.clang-tidy) over the program's and the engine's own sources.

    scripts/check-tidy.py BUILD_FOLDER [FILE...]

BUILD_FOLDER holds compile_commands.json (any configured build of the tree). Without FILEs,
every product source is checked: not the tests, benchmarks or generated files. A file whose
source, project headers, compile command and checks are as they were at its last clean run is
not checked again (BUILD_FOLDER/tidy-cache). Functions longer than the limit that are listed
in scripts/tidy-baseline.txt (and the other findings listed there, today's tree) are counted but
do not fail the run; fails on anything else, and, over the whole tree, on a listed finding that
is gone (the list only shrinks).
"""
import concurrent.futures
import hashlib
import json
import os
import re
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FOLDERS = ("sheet/", "core/", "log/", "chart/", "preview/", "app/")
WARNING = re.compile(r"^(?P<file>[^:\s]+):(?P<line>\d+):\d+: (?:warning|error): (?P<text>.*) \[(?P<check>[\w.,-]+)\]$")
FUNCTION = re.compile(r"function '(?P<name>[^']+)' exceeds recommended size")


def product_sources(db):
    for entry in db:
        path = os.path.relpath(os.path.join(entry["directory"], entry["file"]), ROOT)
        parts = path.split(os.sep)
        if not path.startswith(FOLDERS) or "tests" in parts or "bench" in parts or "_autogen" in path:
            continue
        yield path, entry


def project_dependencies(entry, build):
    """The project files the object of `entry` depends on (from the compiler's .d file), or None."""
    output = entry.get("output")
    if not output:
        m = re.search(r"-o (\S+)", entry.get("command", ""))
        output = m.group(1) if m else None
    if not output:
        return None
    depfile = os.path.join(entry["directory"], output + ".d")
    try:
        text = open(depfile).read().replace("\\\n", " ")
        deps = text.split(":", 1)[1].split() if ":" in text else []
    except OSError:
        # Ninja keeps the dependencies in its own log and removes the .d files.
        result = subprocess.run(["ninja", "-C", entry["directory"], "-t", "deps", output], capture_output=True, text=True)
        lines = result.stdout.splitlines()
        if result.returncode != 0 or not lines or "(VALID)" not in lines[0]:
            return None
        deps = [line.strip() for line in lines[1:] if line.strip()]
    found = set()
    for d in deps:
        full = os.path.normpath(os.path.join(entry["directory"], d))
        if full.startswith(ROOT + os.sep) and not full.startswith(os.path.abspath(build) + os.sep):
            found.add(full)
    return sorted(found)


def cache_key(path, entry, build, config):
    deps = project_dependencies(entry, build)
    if deps is None:
        return None
    h = hashlib.sha256(config)
    h.update(entry.get("command", " ".join(entry.get("arguments", []))).encode())
    for dep in deps + [os.path.join(ROOT, path)]:
        h.update(dep.encode())
        try:
            h.update(open(dep, "rb").read())
        except OSError:
            return None
    return h.hexdigest()


def run_tidy(path, build):
    result = subprocess.run(["clang-tidy", "-p", build, "--quiet", path], cwd=ROOT, capture_output=True, text=True)
    warnings = []
    for line in result.stdout.splitlines():
        m = WARNING.match(line)
        if m:
            file = os.path.relpath(os.path.join(ROOT, m.group("file")), ROOT)
            warnings.append((file, int(m.group("line")), m.group("check"), m.group("text")))
    return warnings


def baseline_key(file, check, text):
    """How scripts/tidy-baseline.txt names a finding: without its line, which moves with edits."""
    m = FUNCTION.search(text)
    if m and check == "readability-function-size":
        return f"{file}: {m.group('name')}"
    return f"{file}: {text} [{check}]"


def load_baseline():
    entries = set()
    try:
        for line in open(os.path.join(ROOT, "scripts", "tidy-baseline.txt")):
            line = line.split("#", 1)[0].strip()
            if line:
                entries.add(line)
    except OSError:
        pass
    return entries


def check(todo, build, cache, baseline):
    """Runs clang-tidy over todo; returns the findings that fail and the listed long functions."""
    failures, known = set(), set()
    with concurrent.futures.ThreadPoolExecutor(os.cpu_count() or 2) as pool:
        for path, warnings in zip(todo, pool.map(lambda p: run_tidy(p, build), todo)):
            clean, listed = True, set()
            for file, line, check_name, text in warnings:
                entry = baseline_key(file, check_name, text)
                if entry in baseline:
                    listed.add(entry)
                    continue
                clean = False
                failures.add(f"{file}:{line}: {text} [{check_name}]")
            known |= listed
            # A clean file's cache entry keeps its listed long functions, so that a later run
            # that skips the file still knows they are there.
            if clean and todo[path]:
                with open(os.path.join(cache, todo[path]), "w") as f:
                    f.write("\n".join(sorted(listed)))
    return failures, known


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    build = os.path.abspath(sys.argv[1])
    db = json.load(open(os.path.join(build, "compile_commands.json")))
    config = open(os.path.join(ROOT, ".clang-tidy"), "rb").read()
    config += subprocess.run(["clang-tidy", "--version"], capture_output=True).stdout
    config += open(os.path.abspath(__file__), "rb").read()
    sources = dict(product_sources(db))
    whole_tree = len(sys.argv) == 2
    if not whole_tree:
        wanted = {os.path.relpath(os.path.abspath(f), ROOT) for f in sys.argv[2:]}
        sources = {p: e for p, e in sources.items() if p in wanted}
    cache = os.path.join(build, "tidy-cache")
    os.makedirs(cache, exist_ok=True)
    todo, known = {}, set()
    for path, entry in sorted(sources.items()):
        key = cache_key(path, entry, build, config)
        cached = os.path.join(cache, key) if key else None
        if cached and os.path.exists(cached):
            known |= {line for line in open(cached).read().splitlines() if line}
        else:
            todo[path] = key
    print(f"clang-tidy: {len(sources)} files, {len(sources) - len(todo)} unchanged since a clean run")

    baseline = load_baseline()
    failures, found = check(todo, build, cache, baseline)
    known |= found
    # The list only shrinks: a function that was split leaves it in the same change.
    if whole_tree:
        for entry in sorted(baseline - known):
            failures.add(f"scripts/tidy-baseline.txt: '{entry}' is gone: remove its line")
    for f in sorted(failures):
        print(f)
    if known:
        print(f"clang-tidy: {len(known)} findings still listed in scripts/tidy-baseline.txt")
    if failures:
        print(f"clang-tidy: {len(failures)} findings", file=sys.stderr)
        sys.exit(1)
    print("clang-tidy: no findings")


if __name__ == "__main__":
    main()
