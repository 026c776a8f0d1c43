import os
import subprocess

import flows
from scenario import Scenario


class FirstStart(Scenario):
    def test_first_start_configures_then_loads_the_orders(self):
        # Sign-on, the configuration window first, the ODBC test of the suggested data
        # source, OK: the main window lists the company's open orders.
        p, main = flows.first_start(self)
        grid = flows.Grid(p, main)
        self.assertGreater(grid.row_count(), 0)
        self.assertIn("1000-1", grid.orders()[:10])

        # The install run again keeps the site, and its last line still reminds of the
        # sample passwords.
        rerun = subprocess.run(
            [os.path.join(self.desktop.bin_dir, "tallymerge-sample"), "--install-default"],
            env=self.desktop.env, capture_output=True, text=True, timeout=120)
        self.assertEqual(rerun.returncode, 0, rerun.stderr)
        lines = rerun.stdout.splitlines()
        self.assertEqual(lines[0],
                         "The sample site exists already in /var/lib/tallymerge/site.")
        self.assertRegex(lines[-1], r"^The sample users' passwords equal their user IDs "
                                    r"\(ADMIN, SUPER, CLERK, TEMP\): change them for real use")
