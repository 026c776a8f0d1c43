import re
import subprocess
import threading
import time

import flows
from desktop import Desktop, count_rows
from scenario import Scenario

OTHER = "Another program"


class Switcher(threading.Thread):
    """A user who switches to another program and back as fast as the window manager lets
    them, from the moment the main window shows until told to stop."""

    def __init__(self, env):
        super().__init__(daemon=True)
        self.env = env
        self.stop = threading.Event()
        self.switches = 0

    def xdotool(self, *args):
        result = subprocess.run(["xdotool", *args], env=self.env, capture_output=True,
                                text=True, timeout=60)
        return result.stdout.split()

    def window(self, title):
        deadline = time.monotonic() + 120
        while time.monotonic() < deadline:
            ids = self.xdotool("search", "--onlyvisible", "--name", "^%s$" % title)
            if ids:
                return ids[0]
            time.sleep(0.02)
        raise RuntimeError("no X window '%s'" % title)

    def run(self):
        other = self.window(OTHER)
        mine = self.window(flows.MAIN_TITLE)
        # One xdotool for many switches: a process for each would be slower than the load.
        burst = 20
        chain = []
        for _ in range(burst):
            chain += ["windowactivate", other, "sleep", "0.02", "windowactivate", mine, "sleep",
                      "0.02"]
        while not self.stop.is_set():
            self.xdotool(*chain)
            self.switches += burst


class SwitchingPrograms(Scenario):
    # A long order book, so that the first load takes a while.
    sample_args = ("--fast", "--orders", "20000")

    def test_switching_away_during_a_load_and_an_invoice(self):
        self.desktop.start_other_program(OTHER)
        switcher = Switcher(self.desktop.env)

        def no_print_window_then_switch():
            # Printing is not this scenario's subject: with "PrintInv" off no print window
            # follows the invoice, and none can come up behind the switching windows.
            p = self.program
            config = p.window("Tallymerge - Configuration")
            p.click(p.find(config, "list item", "Miscellaneous"))
            p.click(p.find(config, "check box",
                           "Print Invoice after it is created. (Not for Batch Invoicing)"))
            self.shot("no-print-window")
            switcher.start()
        p, main = flows.first_start(self, wait_for_load=False,
                                    before_ok=no_print_window_then_switch)
        done = flows.wait_status(self, p, main, r"Loading Complete\. ", timeout=300)
        switcher.stop.set()
        switcher.join()
        self.assertGreater(switcher.switches, 2, "no switch during the load")
        self.shot("switched-during-load")
        # One load: the count it announced is the number of rows, and a quiet reload lists
        # as many.
        loaded = int(re.search(r"(\d+) records", done).group(1))
        grid = flows.Grid(p, main)
        self.assertEqual(grid.row_count(), loaded, "the count does not match the rows")
        p.click(flows.toolbar_button(p, main, "Refresh"))
        again = flows.wait_status(self, p, main, r"Loading Complete\. ", timeout=300)
        self.assertEqual(again, done, "a quiet reload lists another number of orders")
        self.assertEqual(grid.row_count(), loaded)

        # A double click on Invoice and a switch away and back while it works: one invoice.
        # (Should the first run end before the second click arrives, that click invoices the
        # still ticked rows again, and the books refuse the shipments already invoiced and
        # the invoice left without shipments.)
        before = count_rows(self.desktop.company_file(), "OEINVH")
        grid.tick("1000-1")
        p.click(flows.toolbar_button(p, main, "Invoice"), double=True)
        p.activate_window(OTHER, settle=0)
        p.activate_window(flows.MAIN_TITLE, settle=0)
        # The command is over when no box is open and the toolbar takes clicks again.
        deadline = time.monotonic() + 120
        invoice = flows.toolbar_button(p, main, "Invoice")
        while True:
            if "Sage Accpac Error" in p.window_titles():
                box, text = p.message_box("Sage Accpac Error")
                # The books refuse the shipment again, and then the empty invoice.
                self.assertTrue("is on invoice" in text or "has no shipments" in text, text)
                self.shot("second-run-refused")
                p.answer(box, "OK")
                # The refusal of the empty invoice may follow in a box of the same title.
                Desktop.wait(lambda: "Sage Accpac Error" not in p.window_titles() or
                             p.message_box("Sage Accpac Error", 1)[1] != text, 30,
                             "the box '%s' to close" % text)
            elif p.enabled(invoice) and (re.match(flows.CREATED, flows.status(p, main)) or
                                         count_rows(self.desktop.company_file(), "OEINVH") > before):
                break
            self.assertLess(time.monotonic(), deadline, "the invoice did not end")
            time.sleep(0.3)
        self.assertEqual(count_rows(self.desktop.company_file(), "OEINVH"), before + 1)
