"""What only a desktop shows of the print, about and splash windows: sizes with the window
manager's frame, the keyboard going to the splash by itself, a range typed in the print
window surviving Qt's own dialogs, and a print through the real print dialog."""

import os
import re
import subprocess

import flows
import test_printing
from desktop import Desktop
from scenario import Scenario

PRINT_TITLE = "SAMINC - Custom Print Invoices"
ABOUT_TITLE = "About Norvane Tallymerge"
PRINT_AFTER_CREATE = "Print Invoice after it is created. (Not for Batch Invoicing)"
# 1440 twips to the inch at the 96 dots per inch of this X server.
TWIPS_PER_PIXEL = 15


class Geometry:
    """An X window's inside (left, top, width, height) and the frame the window manager
    draws around it (left, right, top, bottom)."""

    def __init__(self, p, title):
        wid = p.window_id(title)
        shell = subprocess.run(["xdotool", "getwindowgeometry", "--shell", wid], env=p.desktop.env,
                               capture_output=True, text=True, check=True, timeout=30).stdout
        values = dict(line.split("=", 1) for line in shell.split())
        self.x, self.y = int(values["X"]), int(values["Y"])
        self.width, self.height = int(values["WIDTH"]), int(values["HEIGHT"])
        extents = subprocess.run(["xprop", "-id", wid, "_NET_FRAME_EXTENTS"], env=p.desktop.env,
                                 capture_output=True, text=True, timeout=30).stdout
        found = re.search(r"=\s*(\d+),\s*(\d+),\s*(\d+),\s*(\d+)", extents)
        self.frame = tuple(int(v) for v in found.groups()) if found else (0, 0, 0, 0)

    def outer(self):
        left, right, top, bottom = self.frame
        return self.width + left + right, self.height + top + bottom


class DesktopWindows(Scenario):
    def test_splash_takes_the_keyboard_and_about_has_its_outer_size(self):
        p = self.start()
        # No click and no activation by the test: the key reaches the splash by itself.
        p.window(flows.SPLASH_TITLE, 30, exact=True)
        p.key("space")
        p.gone(flows.SPLASH_TITLE)
        p.sign_on("ADMIN", "ADMIN")
        config = p.window("Tallymerge - Configuration", 60)
        p.click(p.find(config, "push button", "OK"))
        main = p.window(flows.MAIN_TITLE, 60)
        flows.wait_status(self, p, main, r"Loading Complete\. ")

        p.key("alt+h")
        p.click(p.find(p.application(), "menu item", "About"))
        p.window(ABOUT_TITLE, 30, exact=True)
        # The whole window, title bar and borders included, is 5880 x 4485 twips.
        geometry = Desktop.wait(lambda: (lambda g: g.frame[2] > 0 and g)(Geometry(p, ABOUT_TITLE)),
                                15, "the window manager's frame around the about box")
        self.shot("about-framed")
        width, height = geometry.outer()
        self.assertLessEqual(abs(width - round(5880 / TWIPS_PER_PIXEL)), 1, geometry.__dict__)
        self.assertLessEqual(abs(height - round(4485 / TWIPS_PER_PIXEL)), 1, geometry.__dict__)
        p.key("Escape")
        p.gone(ABOUT_TITLE)

    def print_off(self):
        """In the configuration window of the first start: no print window after an invoice."""
        p = self.program
        config = p.window("Tallymerge - Configuration", 60)
        p.click(p.find(config, "list item", "Miscellaneous"))
        p.click(p.find(config, "check box", PRINT_AFTER_CREATE))

    def test_print_window_keeps_a_typed_range_and_prints_through_the_print_dialog(self):
        p, main = flows.first_start(self, before_ok=self.print_off)
        grid = flows.Grid(p, main)
        grid.tick("1000-1")
        p.click(flows.toolbar_button(p, main, "Invoice"))
        created = flows.wait_status(self, p, main, flows.CREATED)
        number = re.match(r"Invoice (\S+) ", created).group(1)

        # File, Print Invoice: the range holds the invoice just made.
        p.key("alt+f")
        p.click(p.find(p.application(), "menu item", "Print Invoice"))
        window = p.window(PRINT_TITLE, 60, exact=True)
        from_box = p.beside(window, "From Invoice Number")
        to_box = p.beside(window, "To Invoice Number")
        Desktop.wait(lambda: p.text_of(from_box).strip() == number, 15, "the invoice's number")

        # A range of the user's own survives the file dialog, a message box and the print
        # dialog: none of them is a window whose closing activates the print window anew.
        def keeps(first, what):
            Desktop.wait(lambda: p.text_of(from_box).strip() == first and
                         p.text_of(to_box).strip() == number, 15,
                         "the typed range after %s" % what)
        earliest = "IN0000001"
        p.fill(from_box, earliest)
        p.fill(to_box, number)
        self.choose(p, p.beside(window, "Destination", role="combo box"), "PDF File")
        p.click(p.find(window, "push button", "Browse..."))
        files = p.window("PDF File", 30, exact=True)
        self.shot("file-dialog")
        p.click(p.find(files, "push button", "Cancel"))
        p.gone("PDF File")
        keeps(earliest, "the file dialog")

        # A range end with "%1" is quoted as typed, in a box that passes over too.
        p.fill(from_box, "IN%1")
        p.click(p.find(window, "push button", "Print"))
        box, text = p.message_box("Print Invoices")
        self.assertIn('"IN%1" is not an invoice number. An invoice number has up to 22', text)
        p.answer(box, "OK")
        p.gone("Print Invoices")
        keeps("IN%1", "the message box")

        # The print dialog, cancelled; then again, printing to a file of its own choosing.
        p.fill(from_box, number)
        self.choose(p, p.beside(window, "Destination", role="combo box"), "Printer")
        p.click(p.find(window, "push button", "Print"))
        dialog = p.window("Print", 30, exact=True)
        self.shot("print-dialog")
        p.click(p.find(dialog, "push button", "Cancel"))
        p.gone("Print")
        keeps(number, "the print dialog")

        pdf = os.path.join(self.desktop.artefacts, "through-the-dialog.pdf")
        p.click(p.find(window, "push button", "Print"))
        dialog = p.window("Print", 30, exact=True)
        self.choose(p, p.find(dialog, "combo box"), "Print to File (PDF)")
        p.fill(p.beside(dialog, "Output file:"), pdf)
        self.shot("print-dialog-to-file")
        p.click(p.find(dialog, "push button", "Print"))
        p.gone("Print")
        Desktop.wait(lambda: any(t == "1 invoice printed to %s." % pdf
                                 for t in p.texts(window, "label")), 60, "the print to end")
        text = subprocess.run(["pdftotext", "-layout", pdf, "-"], capture_output=True, text=True,
                              check=True, timeout=60).stdout
        self.assertIn(number, text)
        self.assertEqual([n for n in os.listdir(self.desktop.artefacts) if n.startswith(".")],
                         [], "a temporary file of the print was left behind")

        # Shrunk as far as the desktop lets it, the window still shows the whole screen.
        p.activate_window(PRINT_TITLE)
        subprocess.run(["xdotool", "windowsize", p.window_id(PRINT_TITLE), "200", "40"],
                       env=self.desktop.env, check=True, timeout=30)
        close = p.find(window, "push button", "Close")

        sizes = []

        def settled():
            # The same size twice in a row, a tenth of a second apart: the window manager and
            # the window have done with the request.
            g = Geometry(p, PRINT_TITLE)
            sizes.append((g.width, g.height))
            return len(sizes) > 2 and sizes[-1] == sizes[-2] and g.frame[2] > 0 and g
        geometry = Desktop.wait(settled, 15, "the print window to take its smallest size")
        self.shot("print-window-smallest")
        import pyatspi
        for caption in ("Close", "Print"):
            e = p.find(window, "push button", caption).queryComponent().getExtents(
                pyatspi.DESKTOP_COORDS)
            self.assertLessEqual(e.y + e.height, geometry.y + geometry.height,
                                 "the %s button is cut off: %s" % (caption, geometry.__dict__))
        p.click(close)
        p.gone(PRINT_TITLE)

    choose = test_printing.Printing.choose
