"""What a person has: the windows on the screen, found by their titles, the widgets in them,
found through the accessibility tree by role and name, and real key and mouse events sent to
the X server at the places the tree reports. No fixed screen coordinates."""

import subprocess
import time

import pyatspi
from gi.repository import GLib

from desktop import Desktop


class StepFailed(AssertionError):
    pass


class Program:
    def __init__(self, desktop, process):
        self.desktop = desktop
        self.process = process

    # Finding ----------------------------------------------------------------------------
    def application(self):
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is not None and app.name == "Tallymerge" and app.get_process_id() == \
                    self.process.pid:
                return app
        return None

    def windows(self):
        app = self.application()
        return [w for w in app if w is not None] if app else []

    def window_titles(self):
        return [w.name for w in self.windows() if self._showing(w)]

    def window(self, title, timeout=30, exact=False):
        """The program's window whose title is (or starts with) title, once it shows."""
        def found():
            self.assert_running()
            for w in self.windows():
                if self._showing(w) and (w.name == title or (not exact and
                                                             w.name.startswith(title))):
                    return w
            return None
        try:
            return Desktop.wait(found, timeout, "the window '%s'" % title)
        except TimeoutError:
            raise StepFailed("the window '%s' did not appear; windows: %s" %
                             (title, self.window_titles()))

    def gone(self, title, timeout=30):
        Desktop.wait(lambda: title not in self.window_titles(), timeout,
                     "the window '%s' to close" % title)

    def find(self, parent, role, name=None, timeout=15, index=0):
        """The widget of that role (and accessible name) inside parent, once it shows."""
        def found():
            matches = [a for a in self._descendants(parent)
                       if a.getRoleName() == role and (name is None or a.name == name)
                       and self._showing(a)]
            return matches[index] if len(matches) > index else None
        try:
            return Desktop.wait(found, timeout, "%s '%s'" % (role, name))
        except TimeoutError:
            raise StepFailed("no %s '%s' in '%s'; it shows:\n%s" %
                             (role, name, parent.name, self.outline(parent)))

    def find_described(self, parent, role, description, timeout=15):
        """The widget of that role whose description (its tool tip) is description: how a
        person finds a button that shows only a picture."""
        def found():
            for a in self._descendants(parent):
                if a.getRoleName() == role and a.description == description and \
                        self._showing(a):
                    return a
            return None
        try:
            return Desktop.wait(found, timeout, "%s '%s'" % (role, description))
        except TimeoutError:
            raise StepFailed("no %s described '%s' in '%s'; it shows:\n%s" %
                             (role, description, parent.name, self.outline(parent)))

    def outline(self, parent):
        """The roles and names of what parent shows, for a failure's message."""
        return "\n".join("  %s '%s'" % (a.getRoleName(), a.name)
                         for a in self._descendants(parent) if self._showing(a))

    def beside(self, parent, label, role="text"):
        """The widget of role on the same line as, and right of, the label named label: how a
        person finds the box a caption belongs to."""
        caption = self.find(parent, "label", label)
        c = caption.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        middle = c.y + c.height // 2
        candidates = []
        for a in self._descendants(parent):
            if a.getRoleName() != role or not self._showing(a):
                continue
            e = a.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            if e.y <= middle <= e.y + e.height and e.x >= c.x + c.width // 2:
                candidates.append((e.x, a))
        if not candidates:
            raise StepFailed("no %s beside '%s'" % (role, label))
        return min(candidates, key=lambda pair: pair[0])[1]

    def texts(self, parent, role):
        out = []
        for a in self._descendants(parent):
            try:
                if a.getRoleName() == role:
                    out.append(a.name)
            except GLib.GError:
                pass
        return out

    def text_of(self, accessible):
        try:
            text = accessible.queryText()
            return text.getText(0, text.characterCount)
        except NotImplementedError:
            return accessible.name

    @staticmethod
    def _descendants(root):
        """Everything inside root but the cells of tables (read through the table itself: a
        grid of thousands of orders would make every search slow). Objects that vanish while
        the tree is walked are passed over."""
        out = []
        stack = [root]
        while stack:
            node = stack.pop()
            try:
                if node is not root and node.getRoleName() == "table":
                    continue
                children = [node.getChildAtIndex(i) for i in range(node.childCount)]
            except GLib.GError:
                continue
            for child in children:
                if child is not None:
                    out.append(child)
                    stack.append(child)
        return out

    @staticmethod
    def enabled(accessible):
        return accessible.getState().contains(pyatspi.STATE_ENABLED)

    @staticmethod
    def _showing(accessible):
        states = accessible.getState()
        return states.contains(pyatspi.STATE_SHOWING)

    # Acting, with real input events ----------------------------------------------------------
    def _xdotool(self, *args):
        subprocess.run(["xdotool", *args], env=self.desktop.env, check=True, timeout=30)

    def centre(self, accessible):
        e = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        if e.width <= 0 or e.height <= 0:
            raise StepFailed("'%s' has no place on the screen" % accessible.name)
        return e.x + e.width // 2, e.y + e.height // 2

    def click(self, accessible, double=False):
        x, y = self.centre(accessible)
        self._xdotool("mousemove", "--sync", str(x), str(y))
        self._xdotool("click", "--repeat", "2" if double else "1", "--delay", "80", "1")
        time.sleep(0.15)

    def type(self, text):
        self._xdotool("type", "--delay", "30", text)

    def key(self, *keys):
        self._xdotool("key", "--delay", "40", *keys)
        time.sleep(0.1)

    def fill(self, accessible, text):
        """Clicks into a text box, replaces what it holds by text."""
        self.click(accessible)
        self.key("ctrl+a", "BackSpace")
        self.type(text)

    def window_id(self, title, timeout=60):
        def found():
            result = subprocess.run(["xdotool", "search", "--onlyvisible", "--name",
                                     "^%s$" % title], env=self.desktop.env,
                                    capture_output=True, text=True, timeout=30)
            return result.stdout.split()[0] if result.stdout.split() else None
        return Desktop.wait(found, timeout, "the X window '%s'" % title)

    def activate_window(self, title, settle=0.3):
        """Makes the X window of that title the active one, as the user's click would."""
        self._xdotool("windowactivate", "--sync", self.window_id(title))
        time.sleep(settle)

    # Message boxes -------------------------------------------------------------------------
    def message_box(self, title, timeout=30):
        """The box titled title: its text and the box itself."""
        box = self.window(title, timeout, exact=True)
        labels = [self.text_of(a) for a in self._descendants(box)
                  if a.getRoleName() == "label" and a.name]
        return box, "\n".join(labels)

    def answer(self, box, button):
        self.click(self.find(box, "push button", button))

    # Life -------------------------------------------------------------------------------------
    def assert_running(self):
        if self.process.poll() is not None:
            raise StepFailed("the program ended (exit code %s)" % self.process.returncode)

    def fill_checked(self, accessible, text, tries=3):
        """fill, again while the box does not hold as many characters as typed: a box of a
        window that the window manager is still placing can miss the click and the keys."""
        for _ in range(tries):
            self.fill(accessible, text)
            try:
                Desktop.wait(lambda: len(self.text_of(accessible)) == len(text), 3,
                             "'%s' in '%s'" % (text, accessible.name))
                return
            except TimeoutError:
                pass
        raise StepFailed("'%s' does not take what is typed" % accessible.name)

    def sign_on(self, user, password):
        dialog = self.window("Sign On", 60, exact=True)
        self.fill_checked(self.find(dialog, "text", "User ID:"), user)
        # Once the user ID arrived the dialog takes input (the password box hides its text).
        self.fill(self.find(dialog, "password text", "Password:"), password)
        self.click(self.find(dialog, "push button", "OK"))
        self.gone("Sign On", 60)
