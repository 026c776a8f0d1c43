"""A private PostgreSQL server for one scenario: its own cluster in a temporary folder,
listening on 127.0.0.1 at a free port and on a socket folder of its own, so that it never
meets a server of the machine. One login role with a password owns one database made for the
site; the cluster's superuser is reached over the socket only. Stopped and removed again by
close(). initdb and postgres refuse root, so under root the cluster belongs to "nobody"."""

import ctypes
import json
import os
import pwd
import shutil
import signal
import socket
import subprocess
import tempfile
import time

BIN = "/usr/lib/postgresql/15/bin"
SUPERUSER = "postgres"
PR_SET_PDEATHSIG = 1


def available():
    return all(os.access(os.path.join(BIN, p), os.X_OK) for p in ("initdb", "postgres", "psql"))


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def quote_literal(value):
    if isinstance(value, (int, float)):
        return str(value)
    return "'" + str(value).replace("'", "''") + "'"


class PostgresCluster:
    def __init__(self, log_path, database="books", user="billing", password="Billing-Pass-7"):
        self.database = database
        self.user = user
        self.password = password
        self.folder = tempfile.mkdtemp(prefix="tallymerge-acceptance-pg-")
        self._server = None
        self._owner = {}
        if os.geteuid() == 0:
            nobody = pwd.getpwnam("nobody")
            os.chown(self.folder, nobody.pw_uid, nobody.pw_gid)
            self._owner = {"user": nobody.pw_uid, "group": nobody.pw_gid, "extra_groups": []}
        try:
            self._init_cluster()
            self._start(log_path)
            # The site's administrator login: it makes the roles of the site's users.
            self.superuser_sql("CREATE ROLE %s LOGIN CREATEROLE PASSWORD %s" %
                               (user, quote_literal(password)))
            # Texts compare byte by byte, as on an SQLite site (the cluster's C locale).
            self.superuser_sql("CREATE DATABASE %s OWNER %s TEMPLATE template0" %
                               (database, user))
        except BaseException:
            self.close()
            raise

    def conninfo(self):
        """The site's libpq connection string, without the password (libpq reads it from the
        password file, see write_password_file)."""
        return "host=127.0.0.1 port=%d dbname=%s user=%s" % (self.port, self.database, self.user)

    def write_password_file(self, home):
        """The login's password in ~/.pgpass of `home`, where libpq (and so psqlODBC) finds
        it, as a workstation keeps it."""
        path = os.path.join(home, ".pgpass")
        with open(os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600), "w") as f:
            f.write("127.0.0.1:%d:%s:%s:%s\n" % (self.port, self.database, self.user,
                                                 self.password.replace(":", "\\:")))

    def add_login(self, name, password, home):
        """A login of the server with no rights of its own (the workstations' sign-on login),
        its password in ~/.pgpass of `home` beside the site's; its connection string."""
        self.superuser_sql("CREATE ROLE %s LOGIN PASSWORD %s" % (name, quote_literal(password)))
        with open(os.path.join(home, ".pgpass"), "a") as f:
            f.write("127.0.0.1:%d:%s:%s:%s\n" % (self.port, self.database, name,
                                                 password.replace(":", "\\:")))
        return "host=127.0.0.1 port=%d dbname=%s user=%s" % (self.port, self.database, name)

    def _run_as_owner(self, command, **kwargs):
        return subprocess.run(command, check=True, capture_output=True, text=True,
                              env={"PATH": "/usr/bin:/bin", "LC_ALL": "C", "HOME": self.folder},
                              cwd=self.folder, timeout=120, **self._owner, **kwargs)

    def _init_cluster(self):
        self._run_as_owner([os.path.join(BIN, "initdb"), "--pgdata=" + self._data(),
                            "--username=" + SUPERUSER, "--auth=trust", "--encoding=UTF8",
                            "--locale=C", "--no-sync", "--no-instructions"])
        # Only the superuser, over the socket, skips the password; the site's login gives its
        # password (scram) over TCP, as a workstation does.
        with open(os.path.join(self._data(), "pg_hba.conf"), "w") as hba:
            hba.write("local all %s trust\n"
                      "local all all scram-sha-256\n"
                      "host all all 127.0.0.1/32 scram-sha-256\n" % SUPERUSER)

    def _data(self):
        return os.path.join(self.folder, "data")

    def _start(self, log_path):
        for _ in range(5):
            self.port = free_port()
            with open(log_path, "ab") as log:
                self._server = subprocess.Popen(
                    [os.path.join(BIN, "postgres"), "-D", self._data(), "-p", str(self.port),
                     "-k", self.folder, "-c", "listen_addresses=127.0.0.1", "-c", "fsync=off",
                     "-c", "shared_buffers=16MB", "-c", "max_connections=20"],
                    stdout=log, stderr=subprocess.STDOUT, cwd=self.folder,
                    env={"PATH": "/usr/bin:/bin", "LC_ALL": "C"},
                    preexec_fn=_die_with_parent, **self._owner)
            if self._wait_until_ready():
                return
            self._stop()
            with open(log_path, errors="replace") as log:
                if "could not bind" not in log.read()[-4000:]:
                    raise RuntimeError("the PostgreSQL server did not start; see " + log_path)
        raise RuntimeError("the PostgreSQL server found no free port")

    def _wait_until_ready(self):
        """The server writes "ready" as the status line of postmaster.pid once it accepts
        connections."""
        deadline = time.monotonic() + 30
        pid_file = os.path.join(self._data(), "postmaster.pid")
        while time.monotonic() < deadline:
            if self._server.poll() is not None:
                return False
            try:
                with open(pid_file) as f:
                    lines = f.read().split("\n")
                if len(lines) > 7 and lines[7].strip() == "ready":
                    return True
            except FileNotFoundError:
                pass
            time.sleep(0.05)
        return False

    def superuser_sql(self, sql, database="postgres"):
        return subprocess.run(
            [os.path.join(BIN, "psql"), "--no-psqlrc", "--quiet", "--no-align", "--tuples-only",
             "--set=ON_ERROR_STOP=1", "--host=" + self.folder, "--port=%d" % self.port,
             "--username=" + SUPERUSER, "--dbname=" + database, "--command=" + sql],
            check=True, capture_output=True, text=True, timeout=120,
            env={"PATH": "/usr/bin:/bin", "LC_ALL": "C"}).stdout

    def rows(self, conninfo, sql, args=()):
        """The rows of a query through the site's own login (conninfo), each a list of
        (COLUMN, value) pairs with the column names in capitals and numbers as numbers. "?"
        in sql takes the next of args."""
        parts = sql.split("?")
        if len(parts) != len(args) + 1:
            raise ValueError("%d values for %d places" % (len(args), len(parts) - 1))
        text = parts[0] + "".join(quote_literal(a) + p for a, p in zip(args, parts[1:]))
        output = subprocess.run(
            [os.path.join(BIN, "psql"), "--no-psqlrc", "--quiet", "--no-align", "--tuples-only",
             "--set=ON_ERROR_STOP=1", "--dbname=" + conninfo,
             "--command=SELECT coalesce(json_agg(q), '[]') FROM (%s) q" % text],
            check=True, capture_output=True, text=True, timeout=120,
            env={"PATH": "/usr/bin:/bin", "LC_ALL": "C", "PGPASSWORD": self.password}).stdout
        return [[(name.upper(), value) for name, value in row]
                for row in json.loads(output, object_pairs_hook=list)]

    def _stop(self):
        if self._server and self._server.poll() is None:
            # Fast shutdown: sessions the program left open are ended, not waited for.
            self._server.send_signal(signal.SIGINT)
            try:
                self._server.wait(timeout=15)
            except subprocess.TimeoutExpired:
                self._server.kill()
                self._server.wait()
        self._server = None

    def close(self):
        self._stop()
        shutil.rmtree(self.folder, ignore_errors=True)


def _die_with_parent():
    """The server shuts down at once should the scenario's process die without closing it."""
    ctypes.CDLL(None, use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGQUIT)
