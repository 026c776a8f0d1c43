import os
import signal
import subprocess
import tempfile

import flows
from desktop import SITE_ROOT, SiteReplaced, cover_var_lib, read_rows, uncover
from scenario import Scenario


class Host:
    """Stands in for the machine around the scenario: a /var/lib of its own (a tmpfs, so the
    machine's real site is never touched) whose tallymerge folder is a plain folder, and a
    process in a mount namespace of its own that can remove and re-create that folder while
    the scenario runs, as another program of the machine might."""

    def __init__(self, bin_dir):
        self.bin_dir = bin_dir
        self.root = tempfile.mkdtemp(prefix="tallymerge-host-")
        self.fresh_company = os.path.join(self.root, "fresh-SAMINC.db")
        self.mounts = cover_var_lib(os.path.join(self.root, "var-lib"))
        os.makedirs(SITE_ROOT)
        self.process = subprocess.Popen(
            ["unshare", "--mount", "--propagation", "private", "sleep", "3600"],
            start_new_session=True)

    def replace_site(self):
        """Removes the host's /var/lib/tallymerge and makes a fresh sample site in its place;
        a copy of its company file is left at fresh_company."""
        home = os.path.join(self.root, "home")
        odbc = os.path.join(self.root, "odbc")
        os.makedirs(home, exist_ok=True)
        os.makedirs(odbc, exist_ok=True)
        open(os.path.join(odbc, "odbc.ini"), "w").close()
        subprocess.run(["cp", "/etc/odbcinst.ini", odbc], check=True)
        env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": home,
               "ODBCSYSINI": odbc, "LANG": "C.UTF-8"}
        subprocess.run(
            ["nsenter", "--target", str(self.process.pid), "--mount", "--", "sh", "-c",
             'rm -rf "$0" && mkdir "$0" && "$1" --fast --install-default && '
             'cp "$0/site/SAMINC.db" "$2"',
             SITE_ROOT, os.path.join(self.bin_dir, "tallymerge-sample"), self.fresh_company],
            env=env, check=True, capture_output=True, timeout=300)

    def close(self):
        os.killpg(self.process.pid, signal.SIGTERM)
        self.process.wait()
        if uncover(self.mounts):
            subprocess.run(["rm", "-rf", "--one-file-system", self.root], check=False)


class SiteGuard(Scenario):
    def setUp(self):
        self.host = Host(os.environ["TALLYMERGE_BIN"])
        self.addCleanup(self.host.close)
        super().setUp()

    def test_the_host_replacing_its_site_meanwhile_changes_nothing_and_a_replaced_site_is_told(
            self):
        p, main = flows.first_start(self)
        grid = flows.Grid(p, main)
        loaded = grid.row_count()

        # The host removes its /var/lib/tallymerge and makes a fresh sample site there while
        # the program runs: the scenario's site stays its own.
        self.host.replace_site()
        grid.tick("1000-3")
        p.click(flows.toolbar_button(p, main, "Invoice"))
        number = flows.wait_status(self, p, main, flows.CREATED).split()[1]
        flows.close_print_window(p)
        p.click(flows.toolbar_button(p, main, "Refresh"))
        flows.wait_status(self, p, main, r"Loading Complete\. ")
        self.assertEqual(grid.row_count(), loaded - 1)
        self.assertNotIn("1000-3", grid.orders())
        self.shot("after-the-host-replaced-its-site")
        self.assertIn(number, [row[0].strip() for row in read_rows(
            self.desktop.company_file(), "SELECT INVNUMBER FROM OEINVH")])
        self.desktop.verify_site()

        # What a scenario sees when its folder is replaced after all (as a bind directly over
        # the host's folder is, by the removal): the path leads to another site.
        other = tempfile.mkdtemp(prefix="tallymerge-other-site-")
        subprocess.run(["mount", "--bind", other, SITE_ROOT], check=True)
        try:
            with self.assertRaisesRegex(SiteReplaced, r"the scenario's site was replaced: "
                                                      r"/var/lib/tallymerge is no longer its own"):
                self.desktop.verify_site()
        finally:
            subprocess.run(["umount", SITE_ROOT], check=True)
            os.rmdir(other)

        # And when the company file is swapped for another company's: the program's log names
        # another file than the checker reads.
        company = self.desktop.company_file()
        os.rename(company, company + ".own")
        try:
            subprocess.run(["cp", self.host.fresh_company, company], check=True)
        except subprocess.CalledProcessError:
            os.rename(company + ".own", company)
            raise
        try:
            with self.assertRaisesRegex(SiteReplaced, r"the program signed on to %s as device "
                                                      r"\d+, inode \d+, but the checker reads"
                                                      % company):
                self.desktop.verify_site()
        finally:
            os.replace(company + ".own", company)
