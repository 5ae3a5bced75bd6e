#!/usr/bin/env python3
"""Drives the real korvo with real key events under Xvfb, against the reference
back office with its demonstration warehouse, once on a bare X server (as on a
kiosk handheld) and once under a window manager; with --postgres, the back office
keeps its data on the tests' PostgreSQL server instead of a SQLite file.

Synthetic key events inside the process do not show what a real press and
release do around a modal dialog (who gets the keyboard back, where a scanner's
burst lands, what auto-repeat does), so these paths are checked here with
xdotool. Outcomes are read where a worker's work ends up: the back office's
database, the request dumps and the log korvo writes, and the windows on the
display.

Exit 0 when every scenario passed, 1 on a failure, 77 (skipped) when Xvfb or
xdotool is missing, or PostgreSQL when it is asked for.
"""

import argparse
import os
import re
import select
import shutil
import socket
import sqlite3
import subprocess
import sys
import tempfile
import threading
import time
import traceback
from pathlib import Path

SKIP = 77
STEP_TIMEOUT = 10.0  # seconds any one wait may take


class Failure(Exception):
    pass


def wait_until(what, predicate, timeout=STEP_TIMEOUT, interval=0.05):
    end = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > end:
            raise Failure("timed out waiting for " + what)
        time.sleep(interval)


class Relay:
    """A loopback port in front of the back office. Normally it passes every
    connection through; while `hold` is set it accepts connections and never
    answers, like a back office that hangs."""

    def __init__(self, target_port):
        self.target = target_port
        self.hold = False
        self.held = 0
        self.server = socket.socket()
        self.server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.server.bind(("127.0.0.1", 0))
        self.server.listen(16)
        self.port = self.server.getsockname()[1]
        self.sockets = []
        threading.Thread(target=self._accept, daemon=True).start()

    def _accept(self):
        while True:
            try:
                client, _ = self.server.accept()
            except OSError:
                return
            self.sockets.append(client)
            if self.hold:
                self.held += 1
                continue
            upstream = socket.create_connection(("127.0.0.1", self.target), timeout=5)
            self.sockets.append(upstream)
            threading.Thread(target=self._pipe, args=(client, upstream), daemon=True).start()

    def _pipe(self, a, b):
        try:
            while True:
                if self.hold:  # a kept-alive connection hangs too
                    time.sleep(0.05)
                    continue
                ready, _, _ = select.select([a, b], [], [], 0.1)
                for s in ready:
                    data = s.recv(65536)
                    if not data:
                        return
                    (b if s is a else a).sendall(data)
        except OSError:
            return
        finally:
            for s in (a, b):
                try:
                    s.close()
                except OSError:
                    pass

    def close(self):
        self.server.close()
        for s in self.sockets:
            try:
                s.close()
            except OSError:
                pass


class Session:
    def __init__(self, args, work, window_manager):
        self.args = args
        self.work = work
        self.wm = window_manager
        self.procs = []
        self.env = dict(os.environ)
        self.pg = args.postgres_uri
        self.schema = None

    # -- processes -------------------------------------------------------
    def start(self):
        read_fd, write_fd = os.pipe()
        xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "640x480x24", "-nolisten", "tcp",
             "-noreset"],
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL,
            stderr=open(self.work / "xvfb.log", "w"))
        self.procs.append(xvfb)
        os.close(write_fd)
        ready, _, _ = select.select([read_fd], [], [], STEP_TIMEOUT)
        if not ready:
            raise Failure("Xvfb did not start")
        display = os.read(read_fd, 64).decode().strip()
        # Open while the server runs: it may write its number again, and a
        # closed pipe would end it.
        self.display_pipe = read_fd
        self.env.update({"DISPLAY": ":" + display, "QT_QPA_PLATFORM": "xcb",
                         "XDG_RUNTIME_DIR": str(self.work), "LANG": "C.UTF-8",
                         "QT_ACCESSIBILITY": "0", "NO_AT_BRIDGE": "1"})
        self.env.pop("QT_SCALE_FACTOR", None)
        if self.wm:
            self.procs.append(subprocess.Popen(["openbox", "--sm-disable"], env=self.env,
                                               stdout=subprocess.DEVNULL,
                                               stderr=subprocess.DEVNULL))
            wait_until("openbox", lambda: "_NET_SUPPORTING_WM_CHECK" in self.x(
                "xprop", "-root", "_NET_SUPPORTING_WM_CHECK", check=False))

        port_file = self.work / "port"
        if self.pg:
            # A schema of its own on the run's server, dropped at the end.
            self.schema = "realkeys_%d" % os.getpid()
            self.psql("DROP SCHEMA IF EXISTS %s CASCADE; CREATE SCHEMA %s" % (
                self.schema, self.schema), search_path=False)
            self.db = self.pg + ("&" if "?" in self.pg else "?") + \
                "options=-c%20search_path%3D" + self.schema
        else:
            self.db = self.work / "office.db"
        office = subprocess.Popen(
            [self.args.backoffice, "--db", str(self.db), "--demo", "--listen", "127.0.0.1:0",
             "--port-file", str(port_file), "--print-dir", str(self.work / "prints")],
            stdout=subprocess.DEVNULL, stderr=open(self.work / "office.log", "w"))
        self.procs.append(office)
        wait_until("the back office's port",
                   lambda: port_file.exists() and port_file.read_text().strip())
        self.relay = Relay(int(port_file.read_text().strip()))

    def x(self, *command, check=True):
        done = subprocess.run(command, env=self.env, capture_output=True, text=True,
                              timeout=STEP_TIMEOUT)
        if check and done.returncode != 0:
            raise Failure("%s: %s" % (" ".join(command), done.stderr.strip()))
        return done.stdout

    def start_korvo(self, plant="1000", handheld="HH01", mode="ROUTEMODE", language="English"):
        self.device = self.work / ("device-" + plant + "-" + language)
        shutil.rmtree(self.device, ignore_errors=True)
        settings = self.device / "Program Files" / "Korvo" / "Korvo.properties"
        settings.parent.mkdir(parents=True)
        settings.write_text("\n".join([
            "Storagelocation=\\", "Language=" + language, "ShowScreenKeyboard=N",
            "PlantCode=" + plant, "PDA=" + handheld, "HostIP=127.0.0.1",
            "PortNumber=%d" % self.relay.port, "WarPath=", "ViewBy=DELIVERY",
            "OperatingMode=" + mode]) + "\n")
        self.korvo = subprocess.Popen([self.args.korvo, "--root", str(self.device)], env=self.env,
                                      stdout=subprocess.DEVNULL,
                                      stderr=open(self.work / "korvo.log", "a"))
        self.procs.append(self.korvo)
        self.relay.hold = False
        self.relay.held = 0
        wait_until("korvo's window", lambda: self.windows() or self.korvo.poll() is not None)
        if self.korvo.poll() is not None:
            raise Failure("korvo ended at start (%s); Xvfb %s" % (
                self.korvo.returncode, "alive" if self.procs[0].poll() is None else "gone"))
        self.main_window = self.windows()[0][0]
        time.sleep(0.3)

    def stop_korvo(self):
        if self.korvo.poll() is None:
            self.korvo.terminate()
            try:
                self.korvo.wait(5)
            except subprocess.TimeoutExpired:
                self.korvo.kill()
                self.korvo.wait(5)

    def stop(self):
        if hasattr(self, "display_pipe"):
            os.close(self.display_pipe)
        if hasattr(self, "relay"):
            self.relay.close()
        for p in reversed(self.procs):
            if p.poll() is None:
                p.terminate()
        for p in reversed(self.procs):
            try:
                p.wait(5)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait(5)
        if self.schema:
            self.psql("DROP SCHEMA IF EXISTS %s CASCADE" % self.schema, search_path=False)
            self.schema = None

    # -- what the display shows -------------------------------------------
    def windows(self):
        """korvo's visible top-level windows, as (id, title)."""
        out = self.x("xdotool", "search", "--onlyvisible", "--pid", str(self.korvo.pid), check=False)
        found = []
        for wid in out.split():
            name = self.x("xdotool", "getwindowname", wid, check=False).strip()
            found.append((wid, name))
        return found

    def dialogs(self):
        return [w for w in self.windows() if w[0] != self.main_window]

    def screenshot(self, name):
        self.x("import", "-window", "root", str(self.work / (name + ".png")), check=False)

    # -- keys ---------------------------------------------------------------
    def type(self, text, delay=15):
        self.x("xdotool", "type", "--delay", str(delay), text)

    def key(self, *keys):
        for k in keys:
            self.x("xdotool", "key", "--delay", "60", k)
            self.settle()

    def scan(self, label):
        """A keyboard-wedge scanner: the label and Enter in one fast burst."""
        # One burst, Enter included: a pause before the Enter would be a
        # person's, not a scanner's. (Labels are letters and digits, each its
        # own key name.)
        self.x("xdotool", "key", "--delay", "8", *label, "Return")
        self.settle()

    def settle(self, seconds=0.25):
        time.sleep(seconds)

    # -- where the work ends up ----------------------------------------------
    def dump(self, name):
        path = self.device / "Korvo_XML" / "Log" / name
        return path.read_text(encoding="latin-1") if path.exists() else ""

    def log(self):
        folder = self.device / "Korvo_XML" / "Log"
        return "".join(p.read_text(encoding="latin-1") for p in folder.glob("Korvane_*.log"))

    def psql(self, query, *params, search_path=True):
        """The first row of `query` on PostgreSQL; each ? becomes a psql
        variable, which psql quotes itself."""
        names = iter(range(1, len(params) + 1))
        text = re.sub(r"\?", lambda _: ":'p%d'" % next(names), query)
        if search_path and self.schema:
            text = "SET search_path TO %s;\n%s" % (self.schema, text)
        command = ["psql", "-X", "-q", "-A", "-t", "-F", "\t", "-v", "ON_ERROR_STOP=1", self.pg]
        for i, value in enumerate(params, 1):
            command += ["-v", "p%d=%s" % (i, value)]
        done = subprocess.run(command, input=text + ";\n", capture_output=True, text=True,
                              timeout=STEP_TIMEOUT)
        if done.returncode != 0:
            raise Failure("psql: %s" % done.stderr.strip())
        lines = done.stdout.splitlines()
        if not lines:
            return None
        return tuple(int(v) if re.fullmatch(r"-?\d+", v) else v for v in lines[0].split("\t"))

    def row(self, query, *params):
        if self.pg:
            return self.psql(query, *params)
        with sqlite3.connect("file:%s?mode=ro" % self.db, uri=True, timeout=5) as db:
            return db.execute(query, params).fetchone()

    def sql(self, query, *params):
        row = self.row(query, *params)
        return row[0] if row else None

    def changed(self, name, action, what=None):
        """Runs `action` and waits until korvo rewrote the dump `name`."""
        path = self.device / "Korvo_XML" / "Log" / name
        before = path.stat().st_mtime_ns if path.exists() else 0
        action()
        wait_until(what or ("a new " + name),
                   lambda: path.exists() and path.stat().st_mtime_ns != before)
        self.settle(0.3)

    def no_dialog(self, what):
        self.settle(0.4)
        if self.dialogs():
            raise Failure("%s: a box is open: %s" % (what, self.dialogs()))

    def a_dialog(self, what):
        wait_until(what + " (a box)", self.dialogs)

    # -- the way to the work -------------------------------------------------
    def to_hub(self, employee="1001", route_downs=0):
        """Start, employee, department, today, a route: the route's scan screen."""
        self.changed("SettingsREQUEST.xml", lambda: self.key("Return"))
        self.changed("EmployeeREQUEST.xml", lambda: (self.type(employee), self.key("Return")))
        self.key("Return")  # the department
        self.changed("RouteREQUEST.xml", lambda: self.key("Return"))  # today
        for _ in range(route_downs):
            self.key("Down")
        self.key("Return")
        self.settle(0.3)


def note_id(s, number):
    return s.sql("SELECT id FROM notes WHERE number = ?", number)


def opened(s, number):
    """The scanned note was found and opened: the last request names it by id."""
    return ('<PackingNote_ID xmlns="">%s</PackingNote_ID>' % note_id(s, number)) in s.dump(
        "PackingNoteREQUEST.xml")


# ---------------------------------------------------------------------------
# The scenarios: each starts korvo on a fresh device and works on notes of its
# own, so that none depends on another.

def box_closed_with_enter_gives_the_keys_back(s):
    s.to_hub()
    s.scan("4399999")
    s.a_dialog("the unknown note")
    s.key("Return")
    s.no_dialog("after Enter")
    s.changed("PackingNoteREQUEST.xml", lambda: s.scan("4310106"),
              "the scan after the box to be sent")
    if not opened(s, "4310106"):
        raise Failure("sent: " + s.dump("PackingNoteREQUEST.xml"))


def refused_scans_are_replaced_by_the_next(s):
    s.changed("SettingsREQUEST.xml", lambda: s.key("Return"))
    # An unknown employee badge, then the right one.
    s.changed("EmployeeREQUEST.xml", lambda: s.scan("9999"))
    s.a_dialog("the unknown employee")
    s.key("Return")
    s.no_dialog("after Enter")
    s.changed("EmployeeREQUEST.xml", lambda: s.scan("1003"))
    if "<EmployeeNumber" not in s.dump("EmployeeREQUEST.xml") or \
            ">1003<" not in s.dump("EmployeeREQUEST.xml"):
        raise Failure("employee sent: " + s.dump("EmployeeREQUEST.xml"))
    s.key("Return")
    s.changed("RouteREQUEST.xml", lambda: s.key("Return"))
    s.key("Return")
    s.settle(0.3)
    # On the note's information screen a label outside the ranges, then a good one.
    s.changed("PackingNoteREQUEST.xml", lambda: s.scan("4310105"))
    s.settle(0.5)
    s.scan("12345678")
    s.a_dialog("the label out of range")
    s.key("Return")
    s.no_dialog("after Enter")
    s.changed("ContainerScanREQUEST.xml", lambda: s.scan("20500050"))
    if '<ContainerIDCode xmlns="">20500050<' not in s.dump("ContainerScanREQUEST.xml"):
        raise Failure("container sent: " + s.dump("ContainerScanREQUEST.xml"))


def a_too_long_scan_is_never_sent(s):
    s.to_hub()
    s.scan("4310103999999999999999")
    s.a_dialog("the length message")
    s.settle(0.6)
    if not s.dialogs():
        raise Failure("the scanner's own Enter closed the length message")
    if "43101039999" in s.dump("PackingNoteREQUEST.xml"):
        raise Failure("the cut-off number was sent")
    s.key("Return")
    s.no_dialog("after Enter")
    s.changed("PackingNoteREQUEST.xml", lambda: s.scan("4310103"))
    if not opened(s, "4310103"):
        raise Failure("sent: " + s.dump("PackingNoteREQUEST.xml"))


def quantities_are_kept_and_counted_by_keypad(s):
    s.to_hub()
    note = note_id(s, "4310104")
    s.changed("PackingNoteREQUEST.xml", lambda: s.scan("4310104"))
    s.settle(0.5)
    s.changed("PackingNoteLineREQUEST.xml", lambda: s.key("Return"))  # Save: to the lines
    # Nothing changed: Back asks nothing.
    s.key("Escape")
    s.no_dialog("Back without a change")
    s.changed("PackingNoteLineREQUEST.xml", lambda: s.key("Return"))
    # The first line one below what was ordered, typed on the keypad.
    ordered = s.sql("SELECT ordered FROM lines WHERE note_id = ? ORDER BY position LIMIT 1", note)
    s.type(str(ordered - 1))
    s.key("Return")
    s.no_dialog("a quantity inside its range")
    # Counting: the change is saved (the question answered Yes) before the count.
    s.key("F2", "Up", "Return")
    s.a_dialog("the save question")
    s.changed("CountREQUEST.xml", lambda: s.key("Return"))
    got = s.sql("SELECT delivered FROM lines WHERE note_id = ? ORDER BY position LIMIT 1", note)
    if got != ordered - 1:
        raise Failure("first line delivered %s, typed %s" % (got, ordered - 1))
    # Counting by keypad: digits on the selected row, Enter ends the edit, Enter saves.
    line, ordered = s.row("SELECT id, ordered FROM lines WHERE note_id = ? AND counted = 1 "
                          "ORDER BY position LIMIT 1", note)
    count = ordered + 1
    s.type(str(count))
    s.key("Return")
    s.changed("DeliveredQuantityREQUEST.xml", lambda: s.key("Return"), "the count to be saved")
    got = s.sql("SELECT delivered FROM lines WHERE id = ?", line)
    if got != count:
        raise Failure("counted line delivered %s, typed %s" % (got, count))


def held_escape_cancels_one_wait(s):
    s.to_hub()
    s.relay.hold = True
    s.key("Escape")  # Back: the route list, which now hangs
    time.sleep(3.5)
    waiting = s.relay.held  # the connections of the one exchange
    s.x("xdotool", "keydown", "Escape")
    time.sleep(1.8)
    s.x("xdotool", "keyup", "Escape")
    s.settle(0.6)
    held = s.relay.held
    if not s.dialogs():
        raise Failure("the auto-repeated Escape closed the message of the cancelled wait")
    s.relay.hold = False
    s.key("Return")
    s.no_dialog("after Enter")
    if held != waiting:
        raise Failure("a second wait started (%d held connections, %d before)" % (held, waiting))
    if "cancelled" not in s.log():
        raise Failure("the log says nothing of the cancelled exchange: " + s.log())


def packing_note_mode_prints_and_escape_goes_back(s):
    s.stop_korvo()
    s.start_korvo(plant="2000", handheld="PN01", mode="PACKINGNOTEMODE")
    s.changed("SettingsREQUEST.xml", lambda: s.key("Return"))
    s.settle(0.3)
    s.changed("PackingNoteLineREQUEST.xml", lambda: s.scan("5200001"))
    s.changed("PrintREQUEST.xml", lambda: s.key("F2", "Down", "Return"))  # Print, the first action
    s.settle(0.5)
    if s.sql("SELECT status FROM notes WHERE number = '5200001'") != 2:
        raise Failure("Print left the note open")
    if s.sql("SELECT count(*) FROM print_jobs") != 1:
        raise Failure("nothing was printed")
    s.key("Escape")  # Back from the entry screen: the start screen
    s.changed("SettingsREQUEST.xml", lambda: s.key("Return"), "Start after Escape")


SCENARIOS = [
    ("a box closed with Enter gives the keys back", box_closed_with_enter_gives_the_keys_back),
    ("refused scans are replaced by the next", refused_scans_are_replaced_by_the_next),
    ("a too-long scan is never sent", a_too_long_scan_is_never_sent),
    ("quantities are kept and counted by keypad", quantities_are_kept_and_counted_by_keypad),
    ("held Escape cancels one wait", held_escape_cancels_one_wait),
    ("packing-note mode prints, Escape goes back", packing_note_mode_prints_and_escape_goes_back),
]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--korvo", required=True)
    parser.add_argument("--backoffice", required=True)
    parser.add_argument("--window-manager", choices=["none", "openbox"], default="none")
    parser.add_argument("--only", help="run the scenarios whose name contains this")
    parser.add_argument("--keep", action="store_true", help="keep the work folder")
    parser.add_argument("--postgres", metavar="URI_FILE",
                        help="keep the back office's data on the PostgreSQL server whose "
                             "URI this file holds (skipped when the file is missing)")
    args = parser.parse_args()
    args.postgres_uri = None
    if args.postgres:
        uri = Path(args.postgres)
        if not uri.exists() or not shutil.which("psql"):
            print("SKIPPED: no PostgreSQL server for the tests")
            return SKIP
        args.postgres_uri = uri.read_text().strip()
    missing = [tool for tool in ["Xvfb", "xdotool"] + (
        ["openbox"] if args.window_manager == "openbox" else []) if not shutil.which(tool)]
    if missing:
        print("SKIPPED: %s not installed (scripts/install-deps.sh installs them)"
              % ", ".join(missing))
        return SKIP
    work = Path(tempfile.mkdtemp(prefix="korvo-keys-"))
    failed = []
    started = time.monotonic()
    session = Session(args, work, args.window_manager == "openbox")
    try:
        session.start()
        for name, scenario in SCENARIOS:
            if args.only and args.only not in name:
                continue
            begun = time.monotonic()
            try:
                session.start_korvo()
                scenario(session)
                print("ok   %-48s %5.1f s" % (name, time.monotonic() - begun), flush=True)
            except Exception as error:  # noqa: BLE001 - every failure is reported
                session.screenshot("failed-" + name.replace(" ", "-"))
                failed.append(name)
                print("FAIL %s: %s" % (name, error), flush=True)
                if not isinstance(error, Failure):
                    traceback.print_exc()
            finally:
                session.stop_korvo()
    finally:
        session.stop()
        if failed or args.keep:
            print("work folder kept: %s" % work)
        else:
            shutil.rmtree(work, ignore_errors=True)
    print("%d of %d scenarios failed, %.0f s (%s window manager, %s)" % (
        len(failed), len(SCENARIOS), time.monotonic() - started, args.window_manager,
        "PostgreSQL" if args.postgres_uri else "SQLite"))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
