import os
import re
import subprocess

import flows
from desktop import Desktop, read_rows
from scenario import Scenario

PRINT_TITLE = flows.PRINT_TITLE


def dollars(amount):
    """An amount as the printed invoice of a customer in US dollars shows it."""
    return "${:,.2f}".format(amount)


def mentions(text, number):
    """Whether text holds the invoice number as a word of its own (IN10 is not in IN100)."""
    return re.search(r"(?<![\w-])%s(?![\w-])" % re.escape(number), text) is not None


class Printing(Scenario):
    def invoice(self, p, main, grid, order, before=None):
        """Ticks the order, invoices it and returns the new invoice's number as the status
        text gives it (once it names another than the invoice made before)."""
        grid.tick(order)
        p.click(flows.toolbar_button(p, main, "Invoice"))

        def created():
            done = re.match(r"Invoice (\S+) created successfully\.$", flows.status(p, main))
            return done and done.group(1) != before and done.group(1)
        return Desktop.wait(created, 120, "the status text of the invoice of %s" % order)

    def print_window_after(self, p, number, label):
        """With "PrintInv" on, the print window follows a single invoice, holding its number
        at both ends of the range; the screen's Close sends it away."""
        window = p.window(PRINT_TITLE, 60, exact=True)
        for caption in ("From Invoice Number", "To Invoice Number"):
            box = p.beside(window, caption)
            Desktop.wait(lambda: p.text_of(box).strip() == number, 15,
                         "the invoice %s in '%s'" % (number, caption))
        self.shot(label)
        self.close_screen(p, window)

    def close_screen(self, p, window):
        p.click(p.find(window, "push button", "Close"))
        p.gone(PRINT_TITLE)

    def choose(self, p, combo, item):
        """Opens the combo box's list with a click and clicks the item in it."""
        p.click(combo)
        entry = p.find(combo, "list item", item)
        Desktop.wait(lambda: p.centre(entry), 15, "the item '%s' on the screen" % item)
        p.click(entry)
        Desktop.wait(lambda: combo.name == item, 15, "'%s' chosen" % item)

    def test_the_print_window_after_an_invoice_and_a_range_printed_to_pdf(self):
        p, main = flows.first_start(self)
        grid = flows.Grid(p, main)
        company = self.desktop.company_file()
        # The shipment and customer of each order as the grid lists them.
        listed = {order: (grid.cell(order, 3).name, grid.cell(order, 5).name)
                  for order in ("1000-1", "1000-3")}

        first = self.invoice(p, main, grid, "1000-1")
        self.print_window_after(p, first, "print-window-after-invoice")

        # Refresh drops the invoiced order (and its tick); another customer's invoice makes a
        # range of two.
        p.click(flows.toolbar_button(p, main, "Refresh"))
        flows.wait_status(self, p, main, r"Loading Complete\. ")
        self.assertNotIn("1000-1", grid.orders())
        second = self.invoice(p, main, grid, "1000-3", before=first)
        self.print_window_after(p, second, "print-window-after-second-invoice")
        self.assertLess(first, second)

        # Print Batch opens the window afresh on every invoice of the company.
        p.click(flows.toolbar_button(p, main, "Print Batch"))
        window = p.window(PRINT_TITLE, 60, exact=True)
        numbers = [row[0].strip() for row in
                   read_rows(company, "SELECT INVNUMBER FROM OEINVH ORDER BY INVNUMBER")]
        self.assertGreater(len(numbers), 2, "the sample has invoices before these two")
        from_box = p.beside(window, "From Invoice Number")
        to_box = p.beside(window, "To Invoice Number")
        Desktop.wait(lambda: p.text_of(from_box).strip() == numbers[0] and
                     p.text_of(to_box).strip() == numbers[-1], 15,
                     "the range %s to %s of the whole company" % (numbers[0], numbers[-1]))

        # The range of the two new invoices, to a PDF file among the scenario's artefacts.
        p.fill(from_box, first)
        p.fill(to_box, second)
        self.choose(p, p.beside(window, "Destination", role="combo box"), "PDF File")
        pdf = os.path.join(self.desktop.artefacts, "invoices.pdf")
        p.fill(p.beside(window, "PDF File"), pdf)
        self.shot("range-to-pdf")
        p.click(p.find(window, "push button", "Print"))

        # The screen says where the invoices went, or tells what went wrong in a box.
        def outcome():
            if "Print Invoices" in p.window_titles():
                return p.message_box("Print Invoices")[1]
            return next((t for t in p.texts(window, "label") if " printed to " in t), None)
        self.assertEqual(Desktop.wait(outcome, 60, "the print to end"),
                         "2 invoices printed to %s." % pdf)
        self.shot("range-printed")
        self.close_screen(p, window)

        self.assertTrue(os.path.isfile(pdf), "no PDF file at %s" % pdf)
        text = subprocess.run(["pdftotext", "-layout", pdf, "-"], capture_output=True,
                              text=True, check=True, timeout=60).stdout
        pages = [page for page in text.split("\f") if page.strip()]
        # Each invoice on its own pages, with its customer and amounts as the books hold them.
        for number, order in ((first, "1000-1"), (second, "1000-3")):
            own = "\n".join(page for page in pages if mentions(page, number))
            self.assertTrue(own, "invoice %s is not printed:\n%s" % (number, text))
            shipment, customer_number = listed[order]
            invoice = read_rows(company, "SELECT * FROM OEINVH WHERE INVNUMBER = ?", number)[0]
            self.assertEqual(invoice["CUSTOMER"].strip(), customer_number)
            customer = read_rows(company, "SELECT * FROM ARCUS WHERE IDCUST = ?",
                                 invoice["CUSTOMER"])[0]
            self.assertEqual(customer["CODECURN"].strip(), "USD")
            self.assertIn(customer["NAMECUST"].strip(), own)
            self.assertIn("Shipment %s " % shipment, own)
            self.assertGreater(float(invoice["INVNETWTX"]), 0)
            self.assertRegex(own, r"Invoice Total +%s" % re.escape(
                dollars(float(invoice["INVNETWTX"]))))
            self.assertRegex(own, r"Amount Due +%s" % re.escape(
                dollars(float(invoice["INVDUE"]))))
        self.assertEqual(
            [page for page in pages if not (mentions(page, first) or mentions(page, second))],
            [], "pages of no invoice of the range")
        for outside in numbers:
            if outside not in (first, second):
                self.assertFalse(mentions(text, outside),
                                 "invoice %s is outside the range but printed" % outside)
