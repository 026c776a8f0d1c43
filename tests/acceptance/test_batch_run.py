import re

import flows
from desktop import Desktop
from scenario import Scenario

CREDIT_TITLE = "Tallymerge - Credit Approval"
REFUSED_TITLE = "Invalid Username or Password"
REFUSED_TEXT = ("A valid Sage Accpac ERP Username and Password must be entered.\r\n"
                "The User must also have the required permissions to\r\n"
                "approve the additional credit.")
CREATING = "Creating Invoice for selected shipments..."
PREVIEW_TITLE = "Preview Invoice Batch"


class BatchRun(Scenario):
    # A small order book: every order has a turn in one run, and two customers go over their
    # limits (1200: 1,000.00 with 800.00 owed; 1300: 15,000.00 with 14,990.00 owed).
    sample_args = ("--fast", "--orders", "3")

    def allow_batch_invoicing(self):
        p = self.program
        config = p.window("Tallymerge - Configuration")
        p.click(p.find(config, "list item", "Miscellaneous"))
        p.click(p.find(config, "check box", "Allow batch invoicing"))
        self.shot("batch-allowed")

    def choose_all_valid_shipments(self):
        p = self.program
        options = p.window("Batch Options", exact=True)
        all_valid = p.find(options, "radio button", "All Valid Shipments")
        self.assertTrue(any(name.startswith("Only Shipments for ")
                            for name in p.texts(options, "radio button")))
        self.shot("batch-options")
        p.click(all_valid)
        p.answer(options, "OK")
        p.gone("Batch Options")

    def credit_window(self, customer):
        """The credit approval window, asking for the customer named customer."""
        p = self.program
        window = p.window(CREDIT_TITLE, 120, exact=True)
        p.find(window, "label", " " + customer)
        return window

    def sign_credit(self, window, user, password):
        p = self.program
        p.fill(p.beside(window, "Approved By"), user)
        p.fill(p.beside(window, "Password", "password text"), password)
        approve = p.find(window, "push button", "Approve")
        Desktop.wait(lambda: p.enabled(approve), 15, "Approve enabled by the password")
        p.click(approve)

    def test_a_batch_run_with_credit_approval_by_a_supervisor(self):
        p, main = flows.first_start(self, before_ok=self.allow_batch_invoicing)
        grid = flows.Grid(p, main)
        before = grid.orders()
        for order in ("1000-1", "1000-2", "1000-3", "ORD001000", "ORD001001", "ORD001002"):
            self.assertIn(order, before)
        read_rows = self.desktop.read_rows
        invoiced_before = read_rows("SELECT COUNT(*) FROM OEINVH")[0][0]

        # The shipment still being entered is kept out of the run: a row ticked before the
        # run is passed over.
        grid.tick("ORD-NEW1")

        # The preview first: what the run will make, without writing anything.
        p.key("alt+f")
        p.click(p.find(p.application(), "menu item", "Preview Invoice Batch..."))
        self.choose_all_valid_shipments()
        preview = p.window(PREVIEW_TITLE, 60, exact=True)
        summary = next(t for t in p.texts(preview, "label") if t.startswith("Invoices to "))
        # Six shipments of 501.00 in all; ORD-NEW1, ticked, is left out.
        announced = re.match(r"Invoices to create: (\d+), total 501\.00; rows left out: 1\.$",
                             summary)
        self.assertTrue(announced, summary)
        self.shot("batch-preview")
        p.click(p.find(preview, "push button", "Close"))
        p.gone(PREVIEW_TITLE)
        self.assertEqual(read_rows("SELECT COUNT(*) FROM OEINVH")[0][0], invoiced_before)

        p.click(flows.toolbar_button(p, main, "Batch"))
        self.choose_all_valid_shipments()

        # 1200's first two revisions fit its limit; its third shipment does not.
        check = self.credit_window("Mr. Ronald Black")
        # Limit 1,000.00, owed 920.00 after the two revisions, 124.00 asked: 44.00 over.
        p.find(check, "label", "(44.00)")
        self.assertEqual(flows.status(p, main), CREATING)
        self.shot("credit-approval")

        # A billing clerk has no right to approve credit: refused, the window stays.
        self.sign_credit(check, "CLERK", "CLERK")
        box, text = p.message_box(REFUSED_TITLE)
        # The box shows each CR LF of its text as one line break.
        self.assertEqual(text, REFUSED_TEXT.replace("\r\n", "\n"))
        self.shot("clerk-refused")
        p.answer(box, "OK")
        p.gone(REFUSED_TITLE)
        self.assertIn(CREDIT_TITLE, p.window_titles())
        self.assertEqual(p.text_of(p.beside(check, "Password", "password text")), "")
        self.assertFalse(p.enabled(p.find(check, "push button", "Approve")))

        # The supervisor approves; the run goes on to 1300, whose request is cancelled.
        self.sign_credit(check, "SUPER", "SUPER")
        check = self.credit_window("Coastal Hardware")
        p.find(check, "label", "(110.00)")
        self.assertEqual(flows.status(p, main), CREATING)
        self.shot("second-credit-approval")
        p.click(p.find(check, "push button", "Cancel"))

        done = flows.wait_status(self, p, main, r"Invoices \S+ to \S+ have been created\.$")
        first, last = re.match(r"Invoices (\S+) to (\S+) have", done).groups()
        self.shot("run-done")
        self.assertNotIn(CREDIT_TITLE, p.window_titles())
        self.assertNotIn("Tallymerge Error", p.window_titles())

        invoices = read_rows("SELECT h.INVNUMBER, h.CUSTOMER, h.APPROVEBY, "
                             "s.SHINUMBER FROM OEINVH h JOIN OEINVS s "
                             "ON s.INVUNIQ = h.INVUNIQ WHERE h.INVNUMBER BETWEEN ? "
                             "AND ? ORDER BY h.INVNUMBER", first, last)
        # One invoice for each listed shipment but the one kept out, the whole range this run's.
        by_shipment = {r["SHINUMBER"].strip(): r for r in invoices}
        self.assertEqual(sorted(by_shipment), ["SH1000-1", "SH1001-1", "SH1002-1", "SHR1000-1",
                                               "SHR1000-2", "SHR1000-3"])
        self.assertEqual(len({r["INVNUMBER"] for r in invoices}), len(invoices))
        # The run made what the preview announced.
        self.assertEqual(len({r["INVNUMBER"] for r in invoices}), int(announced.group(1)))
        self.assertEqual(read_rows("SELECT COUNT(*) FROM OEINVH")[0][0],
                         invoiced_before + len(invoices))
        # The approver is recorded on 1200's invoice over the limit, on no other; the
        # cancelled request let 1300's invoice go without one.
        approvers = {shipment: r["APPROVEBY"].strip() for shipment, r in by_shipment.items()}
        self.assertEqual(approvers, {"SH1000-1": "", "SH1001-1": "", "SH1002-1": "SUPER",
                                     "SHR1000-1": "", "SHR1000-2": "", "SHR1000-3": ""})
        self.assertEqual(by_shipment["SH1002-1"]["CUSTOMER"].strip(), "1200")
        # The approver's password checked the approval and was not kept.
        approved = read_rows("SELECT * FROM OEINVH WHERE INVNUMBER = ?",
                             by_shipment["SH1002-1"]["INVNUMBER"])[0]
        self.assertNotIn("SUPER", [v.strip() for k, v in dict(approved).items()
                                   if k != "APPROVEBY" and isinstance(v, str)])

        p.click(flows.toolbar_button(p, main, "Refresh"))
        flows.wait_status(self, p, main, r"Loading Complete\. ")
        listed = grid.orders()
        for order in ("1000-1", "1000-2", "1000-3", "ORD001000", "ORD001001", "ORD001002"):
            self.assertNotIn(order, listed)
        self.assertIn("ORD-NEW1", listed)
        self.shot("after-refresh")


class BatchRunOnServer(BatchRun):
    """The same run with the company on a database server."""
    on_server = True
