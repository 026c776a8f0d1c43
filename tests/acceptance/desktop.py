"""A private desktop for one scenario: a fresh site, an X server, a window manager and the
accessibility bus, all torn down again, whatever happened in between.

The program keeps its machine-wide data in /var/lib/tallymerge and its ODBC data sources in
the system odbc.ini. The suite runs in a private mount namespace (see run.py) and binds a
temporary folder over /var/lib/tallymerge, so the machine's own site is never touched."""

import os
import shutil
import signal
import subprocess
import tempfile
import time

SITE_ROOT = "/var/lib/tallymerge"


class Desktop:
    def __init__(self, name, artefacts, bin_dir, sample_args=()):
        self.name = name
        self.bin_dir = bin_dir
        self.artefacts = os.path.join(artefacts, name)
        shutil.rmtree(self.artefacts, ignore_errors=True)
        os.makedirs(self.artefacts)
        self.root = tempfile.mkdtemp(prefix="tallymerge-acceptance-")
        self.env = None
        self._processes = []
        self._mounted = False
        self._shots = 0
        try:
            self._make_site(sample_args)
            self._start_display_retrying()
        except BaseException:
            self.close()
            raise

    # The site -----------------------------------------------------------------------
    def _make_site(self, sample_args):
        varlib = os.path.join(self.root, "varlib")
        home = os.path.join(self.root, "home")
        odbc = os.path.join(self.root, "odbc")
        runtime = os.path.join(self.root, "run")
        for folder in (varlib, home, odbc, runtime):
            os.makedirs(folder)
        os.chmod(runtime, 0o700)
        os.makedirs(SITE_ROOT, exist_ok=True)
        subprocess.run(["mount", "--bind", varlib, SITE_ROOT], check=True)
        self._mounted = True
        shutil.copy("/etc/odbcinst.ini", odbc)
        open(os.path.join(odbc, "odbc.ini"), "w").close()
        env = {
            "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
            "HOME": home,
            "XDG_CONFIG_HOME": os.path.join(home, ".config"),
            "XDG_RUNTIME_DIR": runtime,
            "ODBCSYSINI": odbc,
            "LANG": "C.UTF-8",
        }
        self.env = env
        result = subprocess.run(
            [os.path.join(self.bin_dir, "tallymerge-sample"), *sample_args, "--install-default"],
            env=env, capture_output=True, text=True, timeout=300)
        self._log("sample.log", result.stdout + result.stderr)
        if result.returncode != 0:
            raise RuntimeError("the sample site could not be made: " + result.stderr)

    def company_file(self):
        return os.path.join(SITE_ROOT, "site", "SAMINC.db")

    def check_books(self):
        """The integrity checker's verdict on the company file: (passed, output)."""
        result = subprocess.run(
            [os.path.join(self.bin_dir, "tallymerge-check"), self.company_file()],
            env=self.env, capture_output=True, text=True, timeout=120)
        self._log("check.log", result.stdout + result.stderr)
        return result.returncode == 0, result.stdout + result.stderr

    # The display ------------------------------------------------------------------------
    def _start_display_retrying(self, tries=3):
        """A display whose window manager cannot start (another X server took its number at
        the same moment) is torn down and started afresh."""
        for attempt in range(tries):
            try:
                self._start_display()
                return
            except (TimeoutError, RuntimeError, subprocess.CalledProcessError):
                self._stop_processes()
                if attempt == tries - 1:
                    raise

    def _start_display(self):
        read_end, write_end = os.pipe()
        xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24",
             "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=self._logfile("xvfb.log"),
            start_new_session=True)
        os.close(write_end)
        self._processes.append(xvfb)
        with os.fdopen(read_end) as pipe:
            number = pipe.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        self.env["DISPLAY"] = ":" + number
        bus = subprocess.run(
            ["dbus-daemon", "--session", "--fork", "--print-address=1", "--print-pid=1"],
            env=self.env, capture_output=True, text=True, timeout=30, check=True)
        address, pid = bus.stdout.split()[:2]
        self._bus_pid = int(pid)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address
        self.env["QT_ACCESSIBILITY"] = "1"
        self.env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
        self.env["NO_AT_BRIDGE"] = "0"
        self._spawn(["openbox", "--sm-disable"], "openbox.log")
        self._spawn(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"], "atspi.log")
        # The accessibility client library reads the bus address from the environment.
        os.environ.update({k: self.env[k] for k in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS")})
        self.wait(lambda: subprocess.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"],
                                         env=self.env, capture_output=True,
                                         text=True).stdout.count("window id") > 0,
                  30, "the window manager to start")

    def _spawn(self, command, log):
        process = subprocess.Popen(command, env=self.env, stdout=self._logfile(log),
                                   stderr=subprocess.STDOUT, start_new_session=True)
        self._processes.append(process)
        return process

    def start_program(self):
        """Starts the built program on this desktop; returns its process."""
        return self._spawn([os.path.join(self.bin_dir, "tallymerge")], "tallymerge.log")

    def start_other_program(self, title):
        """Another program's window, to switch to and back from."""
        return self._spawn(["xmessage", "-name", title, "-title", title,
                            "Another program's window"], "other.log")

    # Evidence -------------------------------------------------------------------------
    def screenshot(self, label):
        self._shots += 1
        path = os.path.join(self.artefacts, "%02d-%s.png" % (self._shots, label))
        subprocess.run(["import", "-window", "root", path], env=self.env,
                       capture_output=True, timeout=60)
        return path

    def _logfile(self, name):
        return open(os.path.join(self.artefacts, name), "ab")

    def _log(self, name, text):
        with open(os.path.join(self.artefacts, name), "a") as f:
            f.write(text)

    @staticmethod
    def wait(condition, timeout, what):
        deadline = time.monotonic() + timeout
        while True:
            try:
                value = condition()
            except Exception:
                value = None
            if value:
                return value
            if time.monotonic() > deadline:
                raise TimeoutError("waited %d s for %s" % (timeout, what))
            time.sleep(0.1)

    # Teardown -------------------------------------------------------------------------
    def close(self):
        self._stop_processes()
        if self._mounted:
            subprocess.run(["umount", "-l", SITE_ROOT], check=False)
            self._mounted = False
        shutil.rmtree(self.root, ignore_errors=True)

    def _stop_processes(self):
        for process in reversed(self._processes):
            if process.poll() is None:
                try:
                    os.killpg(process.pid, signal.SIGTERM)
                except ProcessLookupError:
                    pass
                try:
                    process.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
        self._processes = []
        if getattr(self, "_bus_pid", None):
            try:
                os.kill(self._bus_pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
            self._bus_pid = None


def read_rows(database, sql, *args):
    """Rows of a query on the company file, read as another program would (read-only), each
    addressable by column name."""
    import sqlite3
    with sqlite3.connect("file:%s?mode=ro" % database, uri=True, timeout=30) as db:
        db.row_factory = sqlite3.Row
        return db.execute(sql, args).fetchall()


def count_rows(database, table):
    """Rows of a table of the company file."""
    return read_rows(database, "SELECT COUNT(*) FROM %s" % table)[0][0]
