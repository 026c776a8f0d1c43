#!/usr/bin/python3
"""Runs the acceptance scenarios against the built program.

    run.py BIN_DIR ARTEFACT_DIR [scenario name filter]

Each scenario gets its own site, X server, window manager and accessibility bus, inside a
private mount namespace so that the machine's own /var/lib/tallymerge is never touched. It
needs root (for the namespace), Xvfb, openbox, xdotool, ImageMagick and the AT-SPI Python
bindings, which tools/setup.sh installs."""

import os
import subprocess
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))


def main():
    if len(sys.argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    if os.environ.get("TALLYMERGE_ACCEPTANCE_NS") != "1":
        if os.geteuid() != 0:
            print("acceptance: needs root for its private mount namespace; skipped")
            print("0 passed, 0 failed, 1 skipped")
            return 0
        os.environ["TALLYMERGE_ACCEPTANCE_NS"] = "1"
        os.execvp("unshare", ["unshare", "--mount", "--propagation", "private",
                              sys.executable, *sys.argv])
    os.environ["TALLYMERGE_BIN"] = os.path.abspath(sys.argv[1])
    os.environ["TALLYMERGE_ARTEFACTS"] = os.path.abspath(sys.argv[2])
    sys.path.insert(0, HERE)
    loader = unittest.TestLoader()
    if len(sys.argv) > 3:
        loader.testNamePatterns = ["*%s*" % sys.argv[3]]
    suite = loader.discover(HERE, pattern="test_*.py", top_level_dir=HERE)
    # Each scenario in a process of its own: the accessibility client binds to the first
    # desktop's bus for the life of the process.
    passed = failed = 0
    for test in iterate(suite):
        result = subprocess.run([sys.executable, "-m", "unittest", "-v", test.id()], cwd=HERE)
        if result.returncode == 0:
            passed += 1
        else:
            failed += 1
            print("acceptance: FAILED %s" % test.id(), flush=True)
    print("%d passed, %d failed" % (passed, failed))
    return 0 if failed == 0 else 1


def iterate(suite):
    for item in suite:
        if isinstance(item, unittest.TestSuite):
            yield from iterate(item)
        else:
            yield item


if __name__ == "__main__":
    sys.exit(main())
