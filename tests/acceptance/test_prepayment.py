import datetime

import flows
from desktop import Desktop, read_rows
from scenario import Scenario

PREPAY_TITLE = "Tallymerge - O/E Invoice Prepayments"


def date_patterns(shown):
    """The strftime patterns in which the date box may have written today's date (shown),
    month first where today reads both ways, as the program's default locale writes dates.
    From the 10th of a month on, today cannot tell a padded day from an unpadded one
    ("10" either way), so every pattern that writes today as shown is kept: yesterday's date
    is the box's in any of them."""
    today = datetime.date.today()
    patterns = []
    for month, day_of_month in (("%m", "%d"), ("%-m", "%-d"), ("%m", "%-d"), ("%-m", "%d")):
        for order in ("{d} %b %Y", "{m}/{d}/%Y", "{m}/{d}/%y", "{d}/{m}/%Y", "{d}/{m}/%y",
                      "%Y-{m}-{d}", "{d}.{m}.%Y"):
            pattern = order.format(m=month, d=day_of_month)
            if today.strftime(pattern) == shown.strip() and pattern not in patterns:
                patterns.append(pattern)
    if not patterns:
        raise AssertionError("the receipt date box shows '%s', not today's date" % shown)
    return patterns


class Prepayment(Scenario):
    def test_a_prepayment_on_a_new_receipt_batch_reaches_the_invoice(self):
        # A clerk in the United States.
        self.prepay_on_a_new_batch("en_US.UTF-8", ".")

    def test_a_prepayment_in_german(self):
        # A German clerk: dates day first, amounts with a decimal comma.
        self.prepay_on_a_new_batch("de_DE.UTF-8", ",")

    def test_a_date_typed_in_the_c_locale(self):
        # Debian's default locale: the box writes the month by name and takes it so.
        self.prepay_on_a_new_batch("C.UTF-8", ".")

    def prepay_on_a_new_batch(self, lang, point):
        self.desktop.env["LANG"] = lang
        p, main = flows.first_start(self)
        grid = flows.Grid(p, main)
        grid.tick("1000-1")
        p.find(main, "label", "40" + point + "00")

        p.click(flows.toolbar_button(p, main, "Prepayment"))
        prepay = p.window(PREPAY_TITLE)
        self.shot("prepayment-window")

        # A new receipt batch: the next number appears in the batch box.
        company = self.desktop.company_file()
        batch = (read_rows(company, "SELECT MAX(CNTBTCH) FROM ARBTA")[0][0] or 0) + 1
        p.click(p.find_described(prepay, "push button", "Create New AR Receipt Batch"))
        batch_box = p.beside(prepay, "Batch Number")
        Desktop.wait(lambda: p.text_of(batch_box).strip() == str(batch), 30,
                     "the new batch's number %d" % batch)
        bank = p.beside(prepay, "BankCode")
        if not p.text_of(bank).strip():
            p.fill(bank, "SPRINGBK")
            p.key("Tab")
        self.shot("new-batch")

        p.fill(p.beside(prepay, "Receipt Type"), "CHECK")
        p.key("Tab")
        p.find(prepay, "label", "Cheque")
        # The receipt date typed as the box writes dates ("7 Dec 2026" in the C locale); it
        # is taken and shown as the box writes it.
        date_box = p.beside(prepay, "Receipt Date")
        yesterday = datetime.date.today() - datetime.timedelta(days=1)
        patterns = date_patterns(p.text_of(date_box))
        p.fill(date_box, yesterday.strftime(patterns[0]))
        p.key("Tab")
        written = {yesterday.strftime(pattern) for pattern in patterns}
        Desktop.wait(lambda: p.text_of(date_box) in written, 15,
                     "the receipt date, one of %s" % sorted(written))
        p.fill(p.beside(prepay, "Check/Receipt No."), "CHQ-7731")
        p.key("Tab")
        p.fill(p.beside(prepay, "Receipt Amount"), "15" + point + "25")
        p.key("Tab")
        self.assertNotIn("Invalid Entry", p.window_titles())
        self.shot("receipt-entered")
        p.click(p.find(prepay, "push button", "OK"))
        p.gone(PREPAY_TITLE)
        p.find(main, "label", "15" + point + "25")
        self.shot("prepayment-pending")

        number = flows.invoice_ticked(self, p, main, "invoice-created")

        headers = read_rows(company, "SELECT * FROM OEINVH WHERE INVNUMBER = ?", number)
        self.assertEqual(len(headers), 1, "invoice %s is not in OEINVH once" % number)
        h = headers[0]
        self.assertEqual(int(h["REBATCHNUM"]), batch)
        self.assertEqual(h["BANKRECTYP"].strip(), "CHECK")
        self.assertEqual(h["CHECKNUM"].strip(), "CHQ-7731")
        self.assertEqual(h["BANKCODE"].strip(), "SPRINGBK")
        self.assertAlmostEqual(float(h["INVPAYMENT"]), 15.25)
        self.assertAlmostEqual(float(h["BANKPAYMNT"]), 15.25)
        self.assertEqual(str(h["CHECKDATE"]), yesterday.strftime("%Y%m%d"))
        self.assertAlmostEqual(float(h["INVDUE"]), float(h["INVNETWTX"]) - 15.25)
        self.assertGreater(float(h["INVNETWTX"]), 15.25)

        # The receipt stands in the new batch, applied to the invoice.
        entered = read_rows(company, "SELECT * FROM ARTCR WHERE CNTBTCH = ?", batch)
        self.assertEqual(len(entered), 1)
        self.assertEqual(entered[0]["IDCUST"].strip(), "1200")
        self.assertEqual(entered[0]["IDINVC"].strip(), number)
        self.assertAlmostEqual(float(entered[0]["AMTRMIT"]), 15.25)
