#!/usr/bin/python3
"""Runs the acceptance scenarios against the built program.

    run.py BIN_DIR ARTEFACT_DIR [scenario name filter] [--repeat N]

With --repeat the whole selection runs N times in a row (artefacts in ARTEFACT_DIR/run-K),
and the run fails if any scenario failed in any round; each scenario's time and each
round's are printed.

Each scenario gets its own site, X server, window manager and accessibility bus, inside a
private mount namespace so that the machine's own /var/lib/tallymerge is never touched. It
needs root (for the namespace), Xvfb, openbox, xdotool, ImageMagick and the AT-SPI Python
bindings, which tools/setup.sh installs."""

import argparse
import os
import subprocess
import sys
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))


def main():
    parser = argparse.ArgumentParser(usage=__doc__)
    parser.add_argument("bin_dir")
    parser.add_argument("artefacts")
    parser.add_argument("name_filter", nargs="?")
    parser.add_argument("--repeat", type=int, default=1)
    args = parser.parse_args()
    if os.environ.get("TALLYMERGE_ACCEPTANCE_NS") != "1":
        if os.geteuid() != 0:
            print("acceptance: needs root for its private mount namespace; skipped")
            print("0 passed, 0 failed, 1 skipped")
            return 0
        os.environ["TALLYMERGE_ACCEPTANCE_NS"] = "1"
        os.execvp("unshare", ["unshare", "--mount", "--propagation", "private",
                              sys.executable, *sys.argv])
    os.environ["TALLYMERGE_BIN"] = os.path.abspath(args.bin_dir)
    sys.path.insert(0, HERE)
    loader = unittest.TestLoader()
    if args.name_filter:
        loader.testNamePatterns = ["*%s*" % args.name_filter]
    tests = [test.id() for test in
             iterate(loader.discover(HERE, pattern="test_*.py", top_level_dir=HERE))]
    failed_rounds = failures = 0
    start = time.monotonic()
    for round_number in range(1, args.repeat + 1):
        artefacts = os.path.abspath(args.artefacts)
        if args.repeat > 1:
            artefacts = os.path.join(artefacts, "run-%d" % round_number)
        os.environ["TALLYMERGE_ARTEFACTS"] = artefacts
        failed = run_round(tests)
        failed_rounds += failed > 0
        failures += failed
        if args.repeat > 1:
            print("acceptance: round %d of %d: %s" % (round_number, args.repeat,
                                                      "failed" if failed else "passed"),
                  flush=True)
    if args.repeat > 1:
        print("%d of %d rounds passed, %d scenario failures, %.0f s a round" %
              (args.repeat - failed_rounds, args.repeat, failures,
               (time.monotonic() - start) / args.repeat))
    return 0 if failed_rounds == 0 else 1


def run_round(tests):
    """Each scenario in a process of its own: the accessibility client binds to the first
    desktop's bus for the life of the process. Returns how many failed."""
    passed = failed = 0
    round_start = time.monotonic()
    for test in tests:
        start = time.monotonic()
        result = subprocess.run([sys.executable, "-m", "unittest", "-v", test], cwd=HERE)
        verdict = "passed" if result.returncode == 0 else "FAILED"
        passed += result.returncode == 0
        failed += result.returncode != 0
        print("acceptance: %s %s in %.0f s" % (verdict, test, time.monotonic() - start),
              flush=True)
    print("%d passed, %d failed in %.0f s" % (passed, failed, time.monotonic() - round_start),
          flush=True)
    return failed


def iterate(suite):
    for item in suite:
        if isinstance(item, unittest.TestSuite):
            yield from iterate(item)
        else:
            yield item


if __name__ == "__main__":
    sys.exit(main())
