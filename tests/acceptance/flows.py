"""Steps that several scenarios take the same way."""

MAIN_TITLE = "Tallymerge:  Sample Company Inc."


def first_start(scenario, delivery_charge=False, wait_for_load=True, before_ok=None):
    """Sign-on as ADMIN, the configuration window of the first start (the ODBC test of the
    suggested data source, on a server with the plain SQL engine; optionally the delivery
    charge), OK, and the main window with the
    company's open orders loaded. Returns the program and its main window."""
    p = scenario.start()
    dismiss_splash(p)
    p.sign_on("ADMIN", "ADMIN")
    config = p.window("Tallymerge - Configuration", 60)
    scenario.shot("configuration")
    if scenario.on_server:
        # The server reads the plain SQL of the second engine, not bracketed names.
        p.click(p.find(config, "list item", "Database Engine"))
        p.click(p.find(config, "radio button", "Pervasive"))
    p.click(p.find(config, "list item", "ODBC Connection"))
    p.click(p.find(config, "push button", "Test"))
    box, text = p.message_box("Success")
    scenario.assertIn("ODBC connection successful!", text)
    scenario.shot("odbc-test")
    p.answer(box, "OK")
    if delivery_charge:
        p.click(p.find(config, "list item", "Delivery Charge"))
        p.click(p.find(config, "check box", "Use Delivery Charge"))
        p.fill(p.beside(config, "Misc Charge"), "DEL")
        p.key("Tab")
        scenario.shot("delivery-charge")
    ok = p.find(config, "push button", "OK")
    if before_ok:
        before_ok()
    p.click(ok)
    main = p.window(MAIN_TITLE, 60)
    if wait_for_load:
        wait_status(scenario, p, main, r"Loading Complete\. ")
        scenario.shot("orders-loaded")
    return p, main


SPLASH_TITLE = "Norvane Tallymerge"


def dismiss_splash(p):
    """The splash opens the program; a click sends it away."""
    splash = p.window(SPLASH_TITLE, 30, exact=True)
    p.click(splash)
    p.gone(SPLASH_TITLE)


def status(p, main):
    """Panel 1 of the status bar."""
    for text in p.texts(main, "label"):
        if text.startswith(("Loading", "Invoice", "Invoices ", "Batch invoicing",
                            "Creating")) or text == " ":
            return text
    return ""


def wait_status(scenario, p, main, pattern, timeout=120):
    """Waits for panel 1 of the status bar to match the regular expression (from its start)."""
    import re
    from desktop import Desktop
    return Desktop.wait(lambda: re.match(pattern, status(p, main)) and status(p, main),
                        timeout, "the status text '%s'" % pattern)


CREATED = r"Invoice \S+ created successfully\.$"


def invoice_ticked(scenario, p, main, shot):
    """Invoice on the toolbar for the ticked shipments; waits for the invoice, takes the
    screenshot, closes the print window that follows and returns the invoice's number."""
    import re
    p.click(toolbar_button(p, main, "Invoice"))
    done = wait_status(scenario, p, main, CREATED)
    scenario.shot(shot)
    close_print_window(p)
    return re.match(r"Invoice (\S+) created", done).group(1)


class Grid:
    """The order grid as a person reads it: rows found by their order number."""

    def __init__(self, p, main):
        self.p = p
        self.table = p.find(main, "table")

    def orders(self):
        t = self.table.queryTable()
        return [t.getAccessibleAt(r, 1).name for r in range(t.nRows)]

    def row_count(self):
        return self.table.queryTable().nRows

    def cell(self, order, column):
        t = self.table.queryTable()
        for r in range(t.nRows):
            if t.getAccessibleAt(r, 1).name == order:
                return t.getAccessibleAt(r, column)
        raise AssertionError("order %s is not listed" % order)

    def _visible(self, cell):
        import pyatspi
        t = self.table.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        c = cell.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        return c.height > 0 and t.y < c.y and c.y + c.height <= t.y + t.height

    def tick(self, order):
        """Scrolls the order's row into view with the keyboard, as a person would, and clicks
        its tick box."""
        cell = self.cell(order, 0)
        if not self._visible(cell):
            # Into the grid (its middle is always a cell), then to its first row.
            self.p.click(self.table)
            self.p.key("ctrl+Home")
            for _ in range(200):
                if self._visible(self.cell(order, 0)):
                    break
                self.p.key("Next")
        self.p.click(self.cell(order, 0))


def toolbar_button(p, main, caption):
    """A toolbar button by its caption (the toolbar pads captions with blanks)."""
    for a in p._descendants(main):
        if a.getRoleName() == "push button" and a.name.strip() == caption and p._showing(a):
            return a
    raise AssertionError("no toolbar button '%s'" % caption)


PRINT_TITLE = "SAMINC - Custom Print Invoices"


def close_print_window(p):
    """With "PrintInv" on (the first start's configuration leaves "Print invoice" ticked),
    the print window follows a single invoice: waits for it and closes it with its Close."""
    window = p.window(PRINT_TITLE, 60, exact=True)
    p.click(p.find(window, "push button", "Close"))
    p.gone(PRINT_TITLE)
