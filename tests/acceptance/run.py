#!/usr/bin/python3
"""Runs the acceptance scenarios against the built program.

    run.py BIN_DIR ARTEFACT_DIR [scenario name filter]

Each scenario gets its own site, X server, window manager and accessibility bus, inside a
private mount namespace so that the machine's own /var/lib/tallymerge is never touched. It
needs root (for the namespace), Xvfb, openbox, xdotool, ImageMagick and the AT-SPI Python
bindings, which tools/setup.sh installs."""

import os
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
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    failed = len(result.failures) + len(result.errors)
    print("%d passed, %d failed" % (result.testsRun - failed - len(result.skipped), failed))
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
