"""A private desktop for one scenario: a fresh site, an X server, a window manager and the
accessibility bus, all torn down again, whatever happened in between.

The program keeps its machine-wide data in /var/lib/tallymerge and its ODBC data sources in
the system odbc.ini. The suite runs in a private mount namespace (see run.py). There a
private tmpfs covers /var/lib, the folder's siblings are links to the machine's own (bound
elsewhere), and the scenario's temporary site folder is bound at /var/lib/tallymerge inside
the tmpfs. The machine's own site is never touched, and a process of the machine that removes
or replaces its /var/lib/tallymerge meanwhile changes nothing for the scenario: a folder
bound directly over the machine's would be detached by its removal, and the program and the
checker would silently read the machine's site from then on. The site is checked all the
same (verify_site): a scenario whose site was replaced fails saying so."""

import os
import re
import shutil
import signal
import subprocess
import tempfile
import time

import pgcluster

VAR_LIB = "/var/lib"
SITE_ROOT = os.path.join(VAR_LIB, "tallymerge")


class SiteReplaced(AssertionError):
    pass


COMPANY = "SAMINC"
# The machine's settings key in its hive, as the program writes it.
SETTINGS_KEY = "HKEY_LOCAL_MACHINE\\Software\\Norvane\\Tallymerge"


class Desktop:
    def __init__(self, name, artefacts, bin_dir, sample_args=(), site_of=None, on_server=False):
        """A desktop on a fresh site, or, with site_of, a second desktop of the same machine
        on the site of that one (its own X server, home folder and accessibility bus). With
        on_server the fresh site's company lives on a private PostgreSQL server
        (pgcluster.py) that the machine's settings name, instead of the SQLite site in
        /var/lib/tallymerge/site."""
        self.name = name
        self.server = None
        self.on_server = on_server
        self.bin_dir = bin_dir
        self.artefacts = os.path.join(artefacts, name)
        shutil.rmtree(self.artefacts, ignore_errors=True)
        os.makedirs(self.artefacts)
        self.root = tempfile.mkdtemp(prefix="tallymerge-acceptance-")
        self.env = None
        self._processes = []
        self._mounts = []
        self._shots = 0
        self._second = site_of is not None
        try:
            if site_of:
                self._join_site(site_of)
            else:
                self._make_site(sample_args)
            self._start_display_retrying()
        except BaseException:
            self.close()
            raise

    # The site -----------------------------------------------------------------------
    def _make_site(self, sample_args):
        varlib = os.path.join(self.root, "varlib")
        odbc = os.path.join(self.root, "odbc")
        for folder in (varlib, odbc):
            os.makedirs(folder)
        self._cover_var_lib(varlib)
        shutil.copy("/etc/odbcinst.ini", odbc)
        open(os.path.join(odbc, "odbc.ini"), "w").close()
        self._user_environment(odbc)
        if self.on_server:
            self._make_server_site(sample_args)
        else:
            self._sample(*sample_args, "--install-default")
        self._own_site = os.stat(varlib)

    def _sample(self, *args):
        result = subprocess.run(
            [os.path.join(self.bin_dir, "tallymerge-sample"), *args],
            env=self.env, capture_output=True, text=True, timeout=300)
        self._log("sample.log", result.stdout + result.stderr)
        if result.returncode != 0:
            raise RuntimeError("the sample site could not be made: " + result.stderr)

    def _make_server_site(self, sample_args):
        """The sample company on the scenario's own server, and this machine joined to it as
        an administrator joins a workstation: the login's password in ~/.pgpass, the machine
        setting Site naming the server, and the psqlODBC data source SAMINC (written by
        tallymerge-admin odbc-source) that the configuration window suggests."""
        if not pgcluster.available():
            raise RuntimeError("the PostgreSQL server programs are not installed")
        self.server = pgcluster.PostgresCluster(os.path.join(self.artefacts, "postgres.log"))
        self.server.write_password_file(self.env["HOME"])
        site = self.server.conninfo()
        self._sample(*sample_args, site)
        # The workstations name the site through the sign-on login, which may only list the
        # companies; the owner's login stays the administrator's.
        signon = self.server.add_login("workstations", "Sign-On-Pass-3", self.env["HOME"])
        admin = os.path.join(self.bin_dir, "tallymerge-admin")
        for command in ([admin, "create-site", site, signon],
                        [admin, "--site", site, "odbc-source", "--system", COMPANY, COMPANY]):
            result = subprocess.run(command, env=self.env, capture_output=True, text=True,
                                    timeout=120)
            self._log("sample.log", result.stdout + result.stderr)
            if result.returncode != 0:
                raise RuntimeError("%s failed: %s" % (command[1], result.stderr))
        with open(os.path.join(SITE_ROOT, "HKEY_LOCAL_MACHINE.reg"), "w") as f:
            f.write("Windows Registry Editor Version 5.00\n\n[%s]\n\"Site\"=\"%s\"\n"
                    "\"DSN\"=\"%s\"\n" % (SETTINGS_KEY, signon, COMPANY))

    def _join_site(self, other):
        """The machine's site, settings and data sources are the other desktop's; the user's
        home, settings and log are this one's."""
        self._user_environment(other.env["ODBCSYSINI"])
        self._own_site = other._own_site

    def _user_environment(self, odbc):
        home = os.path.join(self.root, "home")
        runtime = os.path.join(self.root, "run")
        for folder in (home, runtime):
            os.makedirs(folder)
        os.chmod(runtime, 0o700)
        self.env = {
            "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
            "HOME": home,
            "XDG_CONFIG_HOME": os.path.join(home, ".config"),
            "XDG_RUNTIME_DIR": runtime,
            "ODBCSYSINI": odbc,
            "LANG": "C.UTF-8",
            # The program's own log is written straight into the artefacts.
            "XDG_STATE_HOME": self.artefacts,
        }
        return self.env

    def _cover_var_lib(self, varlib):
        self._mounts += cover_var_lib(os.path.join(self.root, "host-var-lib"))
        os.makedirs(SITE_ROOT)
        subprocess.run(["mount", "--bind", varlib, SITE_ROOT], check=True)
        self._mounts.append(SITE_ROOT)

    def verify_site(self, program_log=True):
        """Fails with SiteReplaced unless /var/lib/tallymerge is still the scenario's own site,
        the program's log names the company file the checker reads, and every invoice the
        program logged as created is in that file."""
        here = os.stat(SITE_ROOT)
        if (here.st_dev, here.st_ino) != (self._own_site.st_dev, self._own_site.st_ino):
            raise SiteReplaced(
                "the scenario's site was replaced: %s is no longer its own folder (device %d, "
                "inode %d, was device %d, inode %d); something outside the scenario removed or "
                "replaced it" % (SITE_ROOT, here.st_dev, here.st_ino, self._own_site.st_dev,
                                 self._own_site.st_ino))
        if not program_log:
            return
        log = self.program_log()
        company = None if self.on_server else os.stat(self.company_file())
        for path, device, inode in re.findall(
                r"company file (\S+) \(device (\d+), inode (\d+)\)", log):
            if company and path == self.company_file() and (int(device), int(inode)) != \
                    (company.st_dev, company.st_ino):
                raise SiteReplaced(
                    "the scenario's site was replaced: the program signed on to %s as device "
                    "%s, inode %s, but the checker reads device %d, inode %d" %
                    (path, device, inode, company.st_dev, company.st_ino))
        made = re.findall(r" tallymerge\.invoicing: invoice (\S+) created by ", log)
        held = {row[0].strip() for row in self.read_rows("SELECT INVNUMBER FROM OEINVH")}
        missing = [number for number in made if number not in held]
        if missing:
            raise SiteReplaced(
                "the scenario's site was replaced: the invoices %s that the program created are "
                "not in the company file %s that the checker reads" %
                (", ".join(missing), self.company_file()))

    def program_log(self):
        """The program's own log (empty before it first started)."""
        try:
            with open(os.path.join(self.artefacts, "tallymerge", "tallymerge.log")) as f:
                return f.read()
        except FileNotFoundError:
            return ""

    def company_file(self):
        """The company's file, or on a server the connection string of its schema."""
        if self.on_server:
            return "%s options='-csearch_path=company_%s'" % (self.server.conninfo(),
                                                              COMPANY.lower())
        return os.path.join(SITE_ROOT, "site", COMPANY + ".db")

    def read_rows(self, sql, *args):
        """Rows of a query on the company's books, read as another program would."""
        if self.on_server:
            return [Row(pairs) for pairs in self.server.rows(self.company_file(), sql, args)]
        return read_rows(self.company_file(), sql, *args)

    def check_books(self):
        """The books' auditor's verdict on the company file, with this machine's settings
        hive when the program saved one and the sample users' passwords: (passed, output).
        Fails with SiteReplaced first when the file is not the scenario's own."""
        self.verify_site()
        command = [os.path.join(self.bin_dir, "tallymerge-check")]
        hive = os.path.join(SITE_ROOT, "HKEY_LOCAL_MACHINE.reg")
        if os.path.exists(hive):
            command += ["--hive", hive]
        for password in ("ADMIN", "SUPER", "CLERK"):
            command += ["--known-password", password]
        site = ["--site", self.server.conninfo(), COMPANY] if self.on_server else \
            [self.company_file()]
        result = subprocess.run(
            command + site,
            env=self.env, capture_output=True, text=True, timeout=600)
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
        with self._logfile("xvfb.log") as log:
            xvfb = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24",
                 "-nolisten", "tcp"],
                pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=log,
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
        # The accessibility client library reads the bus address from the environment; a second
        # desktop is driven by a process of its own (clerk.py), which gets it there.
        if not self._second:
            os.environ.update({k: self.env[k] for k in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS")})
        self.wait(lambda: subprocess.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"],
                                         env=self.env, capture_output=True,
                                         text=True).stdout.count("window id") > 0,
                  30, "the window manager to start")

    def _spawn(self, command, log):
        # The child keeps its own copy of the log file; this process closes its one at once.
        with self._logfile(log) as output:
            process = subprocess.Popen(command, env=self.env, stdout=output,
                                       stderr=subprocess.STDOUT, start_new_session=True)
        self._processes.append(process)
        return process

    def start_program(self):
        """Starts the built program on this desktop; returns its process."""
        return self._spawn([os.path.join(self.bin_dir, "tallymerge")], "tallymerge-output.log")

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
        if self.server:
            self.server.close()
            self.server = None
        if uncover(self._mounts):
            shutil.rmtree(self.root, ignore_errors=True)
        self._mounts = []

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


def cover_var_lib(host_bind):
    """Covers /var/lib with a private tmpfs that holds a link to each of the machine's entries
    but tallymerge, reached through a bind of the machine's /var/lib at host_bind (a new
    folder). Returns the mount points, to give to uncover."""
    os.makedirs(host_bind)
    mounts = []
    try:
        subprocess.run(["mount", "--rbind", VAR_LIB, host_bind], check=True)
        mounts.append(host_bind)
        subprocess.run(["mount", "-t", "tmpfs", "-o", "mode=0755", "tallymerge-acceptance",
                        VAR_LIB], check=True)
        mounts.append(VAR_LIB)
        for entry in os.listdir(host_bind):
            if entry != "tallymerge":
                os.symlink(os.path.join(host_bind, entry), os.path.join(VAR_LIB, entry))
    except BaseException:
        uncover(mounts)
        raise
    return mounts


def uncover(mounts):
    """Unmounts what cover_var_lib (and binds inside it) mounted, newest first. True when the
    machine's /var/lib is no longer bound inside the scenario's folder, so that removing the
    folder cannot reach it (rmdir refuses a folder that still holds something)."""
    for mount_point in reversed(mounts):
        subprocess.run(["umount", "-l", mount_point], check=False)
    try:
        for mount_point in mounts:
            if not mount_point.startswith(VAR_LIB) and os.path.isdir(mount_point):
                os.rmdir(mount_point)
    except OSError:
        return False
    return True


def read_rows(database, sql, *args):
    """Rows of a query on the company file, read as another program would (read-only), each
    addressable by column name."""
    import contextlib
    import sqlite3
    with contextlib.closing(sqlite3.connect("file:%s?mode=ro" % database, uri=True,
                                            timeout=30)) as db:
        db.row_factory = sqlite3.Row
        return db.execute(sql, args).fetchall()


class Row(tuple):
    """A row of the server's books read as sqlite3.Row reads one of a file: by position or by
    column name (in capitals)."""

    def __new__(cls, pairs):
        row = super().__new__(cls, [value for _, value in pairs])
        row._names = [name for name, _ in pairs]
        return row

    def __getitem__(self, key):
        if isinstance(key, str):
            key = self._names.index(key.upper())
        return tuple.__getitem__(self, key)

    def keys(self):
        return list(self._names)


def count_rows(database, table):
    """Rows of a table of the company file."""
    return read_rows(database, "SELECT COUNT(*) FROM %s" % table)[0][0]
