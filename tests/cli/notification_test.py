#!/usr/bin/python3
"""velmora-cli --notify and --file-manager against a notification server on a private session bus that
records what it is sent and answers as a user would. Usage (inside dbus-run-session):
notification_test.py <velmora-cli>. velmora-cli runs from a copy beside a stand-in for the window
program, which records how it was started. Exits 77 (skipped) without PyGObject."""

import fcntl
import os
import shutil
import subprocess
import sys
import tempfile
import time

SKIP = 77
try:
    from gi.repository import Gio, GLib
except ImportError:
    print("SKIP: PyGObject (python3-gi) is not installed", file=sys.stderr)
    sys.exit(SKIP)

INTERFACE = """<node><interface name="org.freedesktop.Notifications">
<method name="GetCapabilities"><arg type="as" direction="out"/></method>
<method name="Notify"><arg type="s" direction="in"/><arg type="u" direction="in"/><arg type="s" direction="in"/>
<arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="as" direction="in"/>
<arg type="a{sv}" direction="in"/><arg type="i" direction="in"/><arg type="u" direction="out"/></method>
<method name="CloseNotification"><arg type="u" direction="in"/></method>
<method name="GetServerInformation"><arg type="s" direction="out"/><arg type="s" direction="out"/>
<arg type="s" direction="out"/><arg type="s" direction="out"/></method>
<signal name="NotificationClosed"><arg type="u"/><arg type="u"/></signal>
<signal name="ActionInvoked"><arg type="u"/><arg type="s"/></signal>
</interface></node>"""
PATH = "/org/freedesktop/Notifications"
NAME = "org.freedesktop.Notifications"

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL: " + message, file=sys.stderr)


class Server:
    """Records each Notify; `answer(sender, id, actions)` may invoke an action as a click would, sent to
    the caller alone, as GNOME Shell sends it."""

    def __init__(self, bus, capabilities, answer=None):
        self.bus, self.capabilities, self.answer = bus, capabilities, answer
        self.received = []
        info = Gio.DBusNodeInfo.new_for_xml(INTERFACE)
        self.registration = bus.register_object(PATH, info.interfaces[0], self.call, None, None)
        self.owner = Gio.bus_own_name_on_connection(bus, NAME, Gio.BusNameOwnerFlags.NONE, None, None)
        pump(lambda: False, 0.3)  # the name is taken

    def close(self):
        Gio.bus_unown_name(self.owner)
        self.bus.unregister_object(self.registration)
        pump(lambda: False, 0.3)

    def call(self, bus, sender, path, interface, method, parameters, invocation):
        if method == "GetCapabilities":
            invocation.return_value(GLib.Variant("(as)", (self.capabilities,)))
        elif method == "GetServerInformation":
            invocation.return_value(GLib.Variant("(ssss)", ("recorder", "test", "1", "1.2")))
        elif method == "CloseNotification":
            invocation.return_value(None)
        elif method == "Notify":
            app, replaces, icon, summary, body, actions, hints, timeout = parameters.unpack()
            number = replaces or len(self.received) + 1
            self.received.append(dict(app=app, id=number, icon=icon, summary=summary, body=body,
                                      actions=actions, hints=hints, timeout=timeout))
            invocation.return_value(GLib.Variant("(u)", (number,)))
            if self.answer:
                GLib.timeout_add(100, lambda: self.answer(self, sender, number, actions) and False)

    def invoke(self, sender, number, key):
        self.bus.emit_signal(sender, PATH, NAME, "ActionInvoked", GLib.Variant("(us)", (number, key)))


def pump(done, seconds):
    context = GLib.MainContext.default()
    deadline = time.monotonic() + seconds
    while not done() and time.monotonic() < deadline:
        context.iteration(False)
        time.sleep(0.01)
    return done()


def run(cli, arguments, env, seconds=60):
    """Runs velmora-cli while the server answers; returns (status, stdout, stderr, seconds taken)."""
    started = time.monotonic()
    process = subprocess.Popen([cli] + arguments, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                               text=True)
    if not pump(lambda: process.poll() is not None, seconds):
        process.kill()
    out, err = process.communicate()
    return process.returncode, out, err, time.monotonic() - started


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    if not os.environ.get("DBUS_SESSION_BUS_ADDRESS"):
        print("FAIL: no session bus: run this inside dbus-run-session", file=sys.stderr)
        return 1
    scratch = tempfile.mkdtemp(prefix="velmora-notify-")
    try:
        return test(sys.argv[1], scratch)
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


def test(built_cli, scratch):
    program = os.path.join(scratch, "program")
    os.mkdir(program)
    cli = os.path.join(program, "velmora-cli")
    shutil.copy2(built_cli, cli)
    started_with = os.path.join(scratch, "window-arguments")
    with open(os.path.join(program, "velmora"), "w") as stand_in:
        stand_in.write('#!/bin/sh\nfor a in "$@"; do printf "%%s\\n" "$a"; done > "%s"\n' % started_with)
    os.chmod(os.path.join(program, "velmora"), 0o755)

    env = dict(os.environ)
    for name in ("XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR", "HOME"):
        env[name] = os.path.join(scratch, name.lower())
        os.makedirs(env[name], mode=0o700, exist_ok=True)
    videos = os.path.join(scratch, "videos")
    os.mkdir(videos)
    big, other = os.path.join(videos, "a.mp4"), os.path.join(videos, "Urlaub am Meer ö.mp4")
    small = os.path.join(videos, "x<b>&c.mp4")
    for path, size in ((big, 600 * 1024), (other, 600 * 1024), (small, 1000)):
        with open(path, "wb") as out:
            out.write(os.urandom(size))
    plain = open(other, "rb").read()

    def window_arguments():
        if not os.path.exists(started_with):
            return None
        lines = open(started_with).read().splitlines()
        os.remove(started_with)
        return lines

    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)

    # 1. The outcome in a line, from the program by name.
    server = Server(bus, ["actions", "body"])
    status, out, err, _ = run(cli, ["--notify", big, other], env)
    server.close()
    check(status == 0, "a clean run ends with 0, not %d: %s" % (status, err))
    check(out.startswith("Encrypted: 2\nDecrypted: 0\nFailed: 0\n"), "the summary is printed as before: " + out)
    last = server.received[-1] if server.received else {}
    check(last.get("summary") == "2 videos scrambled", "the outcome: %r" % last.get("summary"))
    check(last.get("app") == "Brindlework Velmora", "sent in the program's name: %r" % last.get("app"))
    check(last.get("hints", {}).get("desktop-entry") == "com.brindlework.velmora", "names its desktop entry")
    check(last.get("actions") == [], "nothing failed, so no button: %r" % last.get("actions"))

    # 2. A failure, from the file manager: its button starts the window on the failed file, and the
    #    answered notification lets velmora-cli end at once.
    def click_show_failed(server, sender, number, actions):
        if "show-failed" in actions:
            server.invoke(sender, number, "show-failed")

    server = Server(bus, ["actions", "body"], click_show_failed)
    status, out, err, took = run(cli, ["--file-manager", "--", big, small], env)
    server.close()
    check(status == 1, "a run with a failure ends with 1, not %d" % status)
    last = server.received[-1] if server.received else {}
    check(last.get("summary") == "1 restored, 1 failed: too small to scramble (under 512 KiB)",
          "the outcome with its failure: %r" % last.get("summary"))
    check(last.get("actions") == ["show-failed", "Show the failed videos"], "the button: %r" % last.get("actions"))
    check(window_arguments() == ["--", small], "the window opens on the failed file")
    check(took < 20, "velmora-cli ends once the button was used (took %.1f s)" % took)

    # 3. A server without buttons is not waited on, and one that reads markup gets the names escaped.
    server = Server(bus, ["body", "body-markup"])
    status, out, err, took = run(cli, ["--notify", small], env)
    server.close()
    last = server.received[-1] if server.received else {}
    check(last.get("summary") == "1 video failed: too small to scramble (under 512 KiB)",
          "a failure alone: %r" % last.get("summary"))
    check(last.get("body") == "x&lt;b&gt;&amp;c.mp4", "the failed file's name, escaped: %r" % last.get("body"))
    check(took < 20, "no wait for a button the server cannot show (took %.1f s)" % took)
    check(window_arguments() is None, "nothing starts the window unasked")

    # 4. No notification server: the outcome goes to standard error, without a wait.
    status, out, err, took = run(cli, ["--notify", other], env)
    check(status == 0, "the run itself succeeds: %d" % status)
    check("velmora-cli: 1 video restored\n" in err, "the outcome on standard error: " + err)
    check("not shown as a notification" in err, "and why it was not shown: " + err)
    check(took < 20, "no server does not hold the run up (took %.1f s)" % took)
    check(open(other, "rb").read() == plain, "the file is restored")

    # 5. A window is open (it holds the instance lock): the paths go to it untouched.
    with open(os.path.join(env["XDG_RUNTIME_DIR"], "MX_KZV_EXE"), "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        status, out, err, _ = run(cli, ["--file-manager", "--", other, videos], env)
    check(status == 0, "the hand-over succeeds: %d %s" % (status, err))
    check(window_arguments() == ["--", other, videos], "the window gets the paths as given")
    check(open(other, "rb").read() == plain, "a handed-over file is left to the window")

    # 6. A file chosen by itself and through its folder is toggled once, not scrambled and restored.
    status, out, err, _ = run(cli, ["--file-manager", "--", other, videos], env)
    check(out.startswith("Encrypted: 2\nDecrypted: 0\nFailed: 1\n"), "each file once: " + out)

    if failures:
        print("%d check(s) failed" % len(failures), file=sys.stderr)
        return 1
    print("notifications: all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
