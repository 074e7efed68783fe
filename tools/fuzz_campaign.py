#!/usr/bin/python3
"""Runs the fuzz tests of a build for longer: COUNT mutants for every way a
reader is fed, then prints per reader the inputs, how many were accepted and
refused, the crashes, the hangs and the largest allocation.

The fuzz tests are the ones CTest labels "fuzz"; each of their GoogleTest
tests is one way into one reader. A crash or hang ends a test's process
after it has printed its figures and saved the input; the campaign then
adds those figures up and goes on with a new seed for the mutants left, so
one finding does not end the run.
"""

import argparse
import json
import os
import re
import subprocess
import sys
import tempfile
from pathlib import Path

FIGURES = re.compile(r"^fuzz-figures (\S+) (.*)$")
FIELDS = ("inputs", "mutants", "accepted", "refused", "crashes", "hangs", "overcap", "largest")


def fuzz_tests(build):
    listing = subprocess.run(["ctest", "--show-only=json-v1", "-L", "fuzz"], cwd=build, check=True,
                             capture_output=True, text=True).stdout
    for test in json.loads(listing)["tests"]:
        environment = {}
        for prop in test.get("properties", []):
            if prop["name"] == "ENVIRONMENT":
                environment.update(item.split("=", 1) for item in prop["value"])
        yield test["command"], environment


def gtest_names(command, environment):
    """The full names of the program's tests, from GoogleTest's own listing
    file (written in a folder of its own, by a name relative to it, which
    the program under Wine reads the same)."""
    with tempfile.TemporaryDirectory(prefix="fuzz-listing-") as folder:
        subprocess.run(command + ["--gtest_list_tests", "--gtest_output=json:tests.json"], cwd=folder,
                       env={**os.environ, **environment}, check=True, capture_output=True)
        listing = json.loads(Path(folder, "tests.json").read_text(encoding="utf-8"))
    return [f"{suite['name']}.{test['name']}" for suite in listing["testsuites"] for test in suite["testsuite"]]


def run_once(command, environment, name, count, seed):
    """One process: the figures it printed last, and its exit code."""
    env = {**os.environ, **environment, "ZELMORIA_FUZZ_COUNT": str(count), "ZELMORIA_FUZZ_SEED": str(seed)}
    result = subprocess.run(command + ["--gtest_filter=" + name], env=env, capture_output=True, text=True,
                            errors="replace")
    figures = None
    for line in result.stdout.splitlines():
        match = FIGURES.match(line.strip())
        if match:
            figures = (match.group(1), {k: int(v) for k, v in (f.split("=") for f in match.group(2).split())})
    for line in result.stderr.splitlines():
        if line.startswith("fuzz:"):
            print("   ", line.strip(), flush=True)
    return figures, result.returncode


def campaign(command, environment, name, count, seed):
    totals = dict.fromkeys(FIELDS, 0)
    target = name
    left = count
    while True:
        figures, code = run_once(command, environment, name, left, seed)
        if figures is None:
            print(f"    {name}: no figures (exit code {code})", flush=True)
            totals["crashes"] += 1
            break
        target, numbers = figures
        for field in FIELDS:
            totals[field] = max(totals[field], numbers[field]) if field == "largest" else totals[field] + numbers[field]
        left -= numbers["mutants"]
        # A process that ends early was stopped by a crash or hang; one that
        # made no progress would stop the same way again.
        if code == 0 or left <= 0 or numbers["mutants"] == 0:
            break
        seed += 1
    return target, totals


def size(count):
    for unit, scale in (("MiB", 1 << 20), ("KiB", 1 << 10)):
        if count >= scale:
            return f"{count / scale:.1f} {unit}"
    return f"{count} B"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", required=True)
    parser.add_argument("--count", type=int, default=100000)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--only", default="", help="run only the tests whose name matches this expression")
    arguments = parser.parse_args()

    rows = []
    for command, environment in fuzz_tests(arguments.build):
        for name in gtest_names(command, environment):
            if not re.search(arguments.only, name):
                continue
            print(f"{name}: {arguments.count} mutants", flush=True)
            rows.append(campaign(command, environment, name, arguments.count, arguments.seed))

    header = ("reader", "inputs", "accepted", "refused", "crashes", "hangs", "over cap", "largest allocation")
    table = [header] + [(target, str(t["inputs"]), str(t["accepted"]), str(t["refused"]), str(t["crashes"]),
                         str(t["hangs"]), str(t["overcap"]), size(t["largest"])) for target, t in rows]
    widths = [max(len(row[i]) for row in table) for i in range(len(header))]
    print()
    for row in table:
        print("  ".join(cell.ljust(widths[i]) if i == 0 else cell.rjust(widths[i]) for i, cell in enumerate(row)))
    findings = os.path.join(arguments.build, "fuzz-findings")
    failed = any(t["crashes"] or t["hangs"] or t["overcap"] for _, t in rows)
    if failed:
        print(f"\nInputs that failed are in {findings}; keep each in its reader's corpus regressions/.")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
