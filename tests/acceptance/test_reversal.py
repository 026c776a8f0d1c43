import re

import flows
from desktop import Desktop
from scenario import Scenario

REVERSE_TITLE = "Tallymerge - Reverse Invoice"


class WrongInvoiceReversed(Scenario):
    def test_a_wrong_invoice_is_reversed_and_its_shipment_invoiced_again(self):
        p, main = flows.first_start(self)
        grid = flows.Grid(p, main)

        # The clerk means 1000-1 and 1000-2 on one invoice but invoices 1000-2 alone.
        grid.tick("1000-2")
        wrong = flows.invoice_ticked(self, p, main, "wrong-invoice")
        self.assert_books_agree()
        self.refresh(p, main)
        self.assertNotIn("1000-2", grid.orders())

        # The supervisor reverses it: the shipment can be invoiced again.
        p.key("alt+f")
        p.click(p.find(p.application(), "menu item", "Reverse Invoice..."))
        window = p.window(REVERSE_TITLE, 60, exact=True)
        p.fill_checked(p.beside(window, "Invoice Number"), wrong)
        p.key("Tab")
        # The invoice shows: its customer's number and name.
        Desktop.wait(lambda: any(re.match(r"^\S+  \S", t) for t in p.texts(window, "label")),
                     30, "the invoice's customer")
        p.click(p.find(window, "radio button", "The shipments can be invoiced again"))
        self.shot("reversal-chosen")
        p.click(p.find(window, "push button", "Reverse"))
        box, text = p.message_box("Reverse Invoice")
        self.assertIn("The shipments can be invoiced again.", text)
        p.answer(box, "Yes")
        box, text = p.message_box("Invoice Reversed", 60)
        self.assertRegex(text, r"Invoice %s was reversed by credit note CN\d+\." % wrong)
        self.assertIn("Its shipments can be invoiced again", text)
        self.shot("reversed")
        p.answer(box, "OK")
        p.gone(REVERSE_TITLE)
        self.assert_books_agree()

        # After Refresh the shipment is back, and the right invoice is made.
        self.refresh(p, main)
        self.assertIn("1000-2", grid.orders())
        grid.tick("1000-1")
        grid.tick("1000-2")
        right = flows.invoice_ticked(self, p, main, "right-invoice")
        self.assertNotEqual(right, wrong)
        self.refresh(p, main)
        listed = grid.orders()
        for order in ("1000-1", "1000-2"):
            self.assertNotIn(order, listed)
        self.assert_books_agree()

    def refresh(self, p, main):
        p.click(flows.toolbar_button(p, main, "Refresh"))
        flows.wait_status(self, p, main, r"Loading Complete\. ")

    def assert_books_agree(self):
        passed, output = self.desktop.check_books()
        self.assertTrue(passed, "the integrity checker refused the books:\n" + output)


class WrongInvoiceReversedOnServer(WrongInvoiceReversed):
    """The same reversal with the company on a database server."""
    on_server = True
