#!/usr/bin/python3
"""After velmora-cli scrambles one of two videos GTK listed as recent, a fresh GTK reader lists only the
other, with all GTK stored about it. Usage: recent_files_gtk_test.py <velmora-cli>. Exits 77 (skipped)
without PyGObject and GTK 3; a missing Xvfb fails."""

import os
import shutil
import subprocess
import sys
import tempfile
import time

SKIP = 77


def fail(message):
    print("FAIL: " + message, file=sys.stderr)
    sys.exit(1)


def start_x(scratch):
    """A private Xvfb: GTK 3 reads its settings (whether recent files are kept at all) from a display."""
    if shutil.which("Xvfb") is None:
        fail("Xvfb is not installed (scripts/deps.sh installs it)")
    read_end, write_end = os.pipe()
    log = os.path.join(scratch, "xvfb.log")
    with open(log, "w") as out:
        server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-nolisten", "tcp"],
                                  pass_fds=(write_end,), stdout=out, stderr=out)
    os.close(write_end)
    with os.fdopen(read_end) as pipe:
        display = pipe.readline().strip()
    if not display:
        server.wait()
        fail("Xvfb did not start: " + open(log).read()[-300:])
    return server, ":" + display


def pump_until(condition, seconds):
    from gi.repository import GLib
    context = GLib.MainContext.default()
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        while context.pending():
            context.iteration(False)
        if condition():
            return True
        time.sleep(0.05)
    return False


def listed_uris():
    from gi.repository import Gtk
    return {item.get_uri(): item for item in Gtk.RecentManager().get_items()}


def main():
    if len(sys.argv) != 2:
        fail("usage: recent_files_gtk_test.py <velmora-cli>")
    cli = sys.argv[1]
    scratch = tempfile.mkdtemp(prefix="velmora-gtk-recent-")
    server = None
    try:
        # Everything GTK and velmora-cli keep goes to the scratch folder, before GLib reads the
        # environment once and for all.
        for name, sub in (("XDG_DATA_HOME", "data"), ("XDG_CACHE_HOME", "cache"),
                          ("XDG_CONFIG_HOME", "config"), ("XDG_RUNTIME_DIR", "runtime")):
            os.makedirs(os.path.join(scratch, sub), mode=0o700)
            os.environ[name] = os.path.join(scratch, sub)
        os.environ["GIO_USE_VFS"] = "local"
        os.environ["GSETTINGS_BACKEND"] = "memory"
        os.environ.pop("WAYLAND_DISPLAY", None)
        os.environ["GDK_BACKEND"] = "x11"

        try:
            import gi
            gi.require_version("Gtk", "3.0")
        except (ImportError, ValueError) as error:
            print("SKIP: PyGObject with GTK 3 is not installed (python3-gi, gir1.2-gtk-3.0): %s" % error)
            return SKIP
        server, os.environ["DISPLAY"] = start_x(scratch)
        from gi.repository import GLib, Gtk  # initialises GTK on that display
        if not Gtk.init_check(sys.argv)[0]:
            fail("GTK cannot open the display " + os.environ["DISPLAY"])

        # A name GLib has to escape in many ways, and another video beside it.
        folder = os.path.join(scratch, "videos")
        os.makedirs(folder)
        video = os.path.join(folder, "Été 2024 – clip #1 [a&b].mp4")
        other = os.path.join(folder, "other clip.mp4")
        for path in (video, other):
            with open(path, "wb") as out:
                out.write(os.urandom(3 * 512 * 1024))
        video_uri = GLib.filename_to_uri(video, None)
        other_uri = GLib.filename_to_uri(other, None)

        writer = Gtk.RecentManager()
        data = Gtk.RecentData()
        data.mime_type = "video/mp4"
        data.app_name = "velmora-gtk-test"
        data.app_exec = "velmora-gtk-test %u"
        for uri in (video_uri, other_uri):
            if not writer.add_full(uri, data):
                fail("GTK did not take " + uri)
        # GTK saves the list a moment later, from its main loop.
        if not pump_until(lambda: {video_uri, other_uri} <= listed_uris().keys(), 10):
            fail("GTK did not save both entries: %s" % sorted(listed_uris()))
        del writer
        pump_until(lambda: False, 0.5)

        run = subprocess.run([cli, video], capture_output=True, text=True, timeout=120)
        if run.returncode != 0 or "Encrypted: 1" not in run.stdout:
            fail("velmora-cli did not scramble the video (exit %d):\n%s%s" %
                 (run.returncode, run.stdout, run.stderr))

        listed = listed_uris()
        if video_uri in listed:
            fail("GTK still lists the scrambled video: " + video_uri)
        if other_uri not in listed:
            fail("GTK lost the other video's entry: %s" % sorted(listed))
        kept = listed[other_uri]
        if kept.get_mime_type() != "video/mp4" or not kept.has_application("velmora-gtk-test"):
            fail("the other video's entry lost what GTK stored with it")
        print("ok: GTK lists %s and no longer %s" % (other_uri, video_uri))
        return 0
    finally:
        if server is not None:
            server.terminate()
            server.wait()
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
