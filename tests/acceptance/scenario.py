"""The frame of every scenario: a fresh desktop with the program started on it, screenshots
of what it showed, the site checked to be the scenario's own and the books checked at the
end, and nothing left running. A failing scenario names its step."""

import functools
import os
import traceback
import types
import unittest

from desktop import Desktop, SiteReplaced
from ui import Program

HERE = os.path.dirname(os.path.abspath(__file__))


class StepError(AssertionError):
    pass


def failing_step(failure):
    """The line of the scenario's own files (its test file or the shared flows) where the
    failure happened, innermost first, as "file:line: code"."""
    steps = [frame for frame in traceback.extract_tb(failure.__traceback__)
             if os.path.dirname(os.path.abspath(frame.filename)) == HERE and
             os.path.basename(frame.filename).startswith(("test_", "flows"))]
    return " <- ".join("%s:%d: %s" % (os.path.basename(f.filename), f.lineno, f.line)
                       for f in reversed(steps))


class Scenario(unittest.TestCase):
    sample_args = ("--fast",)
    # The company on a private PostgreSQL server instead of the SQLite site.
    on_server = False

    def __init__(self, methodName="runTest"):
        super().__init__(methodName)
        if hasattr(self, methodName):
            # A bound method, as the loader expects of a test.
            setattr(self, methodName,
                    types.MethodType(self._naming_the_step(getattr(self, methodName)), self))

    def _naming_the_step(self, body):
        """The scenario's body, whose failure names its step, the last screen it showed and,
        first of all, a site that was replaced under it (a wrong count or a missing order
        follows from that and would only mislead)."""
        @functools.wraps(body)
        def named(_self):
            try:
                return body()
            except Exception as failure:
                try:
                    self.desktop.verify_site(program_log=False)
                except SiteReplaced as replaced:
                    raise replaced from failure
                raise StepError("step %s failed after the screen '%s':\n%s: %s" %
                                (failing_step(failure), self._last_shot,
                                 type(failure).__name__, failure)) from failure
        return named

    def setUp(self):
        name = self.id().split(".")[-1] + ("-on-server" if self.on_server else "")
        self.desktop = Desktop(name, os.environ["TALLYMERGE_ARTEFACTS"],
                               os.environ["TALLYMERGE_BIN"], self.sample_args,
                               on_server=self.on_server)
        self.addCleanup(self.desktop.close)
        self.program = None
        self._last_shot = "(none yet)"

    def start(self):
        self.program = Program(self.desktop, self.desktop.start_program())
        return self.program

    def shot(self, label):
        self._last_shot = label
        self.desktop.screenshot(label)

    def tearDown(self):
        # Also after a failed step: its screen stays with the logs in the artefacts folder.
        self.desktop.screenshot("end")
        if self.program:
            self.program.assert_running()
        passed, output = self.desktop.check_books()
        self.assertTrue(passed, "the integrity checker refused the books:\n" + output)
