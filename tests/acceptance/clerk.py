"""A second clerk at a second desktop of the same machine: the program on an X server and an
accessibility bus of its own, on the scenario's site.

The accessibility client binds to one bus for the life of a process, so the second desktop
is driven by a process of its own: this file run as a program. The scenario's process holds
a SecondClerk, which sends it one step at a time (a line of JSON) and waits for the answer;
a step that fails there fails the scenario here with the other desktop's message."""

import json
import os
import re
import subprocess
import sys
import traceback

from desktop import Desktop

HERE = os.path.dirname(os.path.abspath(__file__))


class SecondClerk:
    """The scenario's handle on the second desktop and its program."""

    def __init__(self, scenario, user, password):
        first = scenario.desktop
        self.desktop = Desktop(first.name + "-second-desktop", os.path.dirname(first.artefacts),
                               first.bin_dir, site_of=first)
        scenario.addCleanup(self.close)
        program = self.desktop.start_program()
        env = dict(self.desktop.env, TALLYMERGE_BIN=first.bin_dir,
                   TALLYMERGE_PROGRAM_PID=str(program.pid),
                   TALLYMERGE_DESKTOP_ARTEFACTS=self.desktop.artefacts)
        self.driver = subprocess.Popen([sys.executable, __file__], cwd=HERE, env=env,
                                       stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.call("sign_on", user, password)

    def call(self, step, *args):
        """Runs the step on the second desktop; returns what it answered."""
        self.driver.stdin.write(json.dumps([step, *args]) + "\n")
        self.driver.stdin.flush()
        answer = self.driver.stdout.readline()
        if not answer:
            raise AssertionError("the second desktop's driver ended during '%s'" % step)
        answer = json.loads(answer)
        if "failed" in answer:
            raise AssertionError("on the second desktop, '%s' failed:\n%s" %
                                 (step, answer["failed"]))
        return answer["result"]

    def close(self):
        if self.driver.poll() is None:
            self.driver.stdin.close()
            try:
                self.driver.wait(timeout=30)
            except subprocess.TimeoutExpired:
                self.driver.kill()
                self.driver.wait()
        self.desktop.screenshot("end")
        self.desktop.close()


# The driver: runs in the second desktop's environment ----------------------------------------
class _Started:
    """The program the scenario's process started on this desktop, by its process number."""

    def __init__(self, pid):
        self.pid = pid
        self.returncode = None

    def poll(self):
        try:
            with open("/proc/%d/stat" % self.pid) as f:
                running = f.read().rsplit(")", 1)[1].split()[0] != "Z"
        except FileNotFoundError:
            running = False
        return None if running else -1


class _AttachedDesktop:
    """What the program's driver needs of a desktop: its environment and its screenshots."""

    def __init__(self, env, artefacts):
        self.env = env
        self.artefacts = artefacts
        self.shots = 100

    def screenshot(self, label):
        self.shots += 1
        path = os.path.join(self.artefacts, "%03d-%s.png" % (self.shots, label))
        subprocess.run(["import", "-window", "root", path], env=self.env,
                       capture_output=True, timeout=60)


class _Steps:
    def __init__(self):
        from ui import Program
        self.desktop = _AttachedDesktop(dict(os.environ),
                                        os.environ["TALLYMERGE_DESKTOP_ARTEFACTS"])
        self.p = Program(self.desktop, _Started(int(os.environ["TALLYMERGE_PROGRAM_PID"])))
        self.main = None
        self.grid = None

    def sign_on(self, user, password):
        import flows
        flows.dismiss_splash(self.p)
        self.p.sign_on(user, password)
        self.main = self.p.window(flows.MAIN_TITLE, 60)
        flows.wait_status(None, self.p, self.main, r"Loading Complete\. ")
        self.grid = flows.Grid(self.p, self.main)
        self.desktop.screenshot("orders-loaded")

    def tick(self, order):
        self.grid.tick(order)
        self.desktop.screenshot("ticked-" + order)

    def invoice(self):
        """Presses Invoice and answers each box it shows with OK, until the program's log
        tells that the run ended; the status text then and the boxes' texts."""
        import flows
        log = os.path.join(self.desktop.artefacts, "tallymerge", "tallymerge.log")
        logged = os.path.getsize(log)
        self.p.click(flows.toolbar_button(self.p, self.main, "Invoice"))
        boxes = []

        def ended():
            for window in self.p.windows():
                if self.p._showing(window) and window.name == "Sage Accpac Error":
                    box, text = self.p.message_box(window.name)
                    boxes.append(text)
                    self.desktop.screenshot("box")
                    self.p.answer(box, "OK")
                    self.p.gone(window.name)
            with open(log) as f:
                f.seek(logged)
                return re.search(r"invoice run \S+ for customer \S+ ended by a failure| "
                                 r"invoice \S+ created by ", f.read())
        Desktop.wait(ended, 120, "the invoice run to end")
        self.desktop.screenshot("invoice-ended")
        return {"status": flows.status(self.p, self.main), "boxes": boxes}

    def refresh(self):
        import flows
        self.p.click(flows.toolbar_button(self.p, self.main, "Refresh"))
        flows.wait_status(None, self.p, self.main, r"Loading Complete\. ")
        self.desktop.screenshot("refreshed")
        return self.grid.orders()


def _drive():
    steps = _Steps()
    for line in sys.stdin:
        name, *args = json.loads(line)
        try:
            answer = {"result": getattr(steps, name)(*args)}
        except Exception:
            steps.desktop.screenshot("failed")
            answer = {"failed": traceback.format_exc()}
        sys.stdout.write(json.dumps(answer) + "\n")
        sys.stdout.flush()


if __name__ == "__main__":
    _drive()
