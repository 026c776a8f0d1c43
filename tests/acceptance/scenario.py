"""The frame of every scenario: a fresh desktop with the program started on it, screenshots
of what it showed, the books checked at the end, and nothing left running."""

import os
import unittest

from desktop import Desktop
from ui import Program


class Scenario(unittest.TestCase):
    sample_args = ("--fast",)

    def setUp(self):
        self.desktop = Desktop(self.id().split(".")[-1], os.environ["TALLYMERGE_ARTEFACTS"],
                               os.environ["TALLYMERGE_BIN"], self.sample_args)
        self.addCleanup(self.desktop.close)
        self.program = None

    def start(self):
        self.program = Program(self.desktop, self.desktop.start_program())
        return self.program

    def shot(self, label):
        self.desktop.screenshot(label)

    def tearDown(self):
        # Also after a failed step: its screen stays with the logs in the artefacts folder.
        self.shot("end")
        if self.program:
            self.program.assert_running()
        passed, output = self.desktop.check_books()
        self.assertTrue(passed, "the integrity checker refused the books:\n" + output)
