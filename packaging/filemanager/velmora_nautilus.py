"""GNOME Files (Nautilus 43 and later, through nautilus-python): "Scramble or restore with Velmora" on
local videos and folders, which hands them to velmora-cli --file-manager."""

import os
import subprocess
import sys
import threading

try:
    import gi

    gi.require_version("Nautilus", "4.0")
    from gi.repository import GObject, Gio, Nautilus
except (ImportError, ValueError):  # no Nautilus bindings: nothing here can be offered
    Nautilus = None

APP_ID = "com.brindlework.velmora"
COMMAND = ("velmora-cli", "--file-manager", "--")
# The MimeType line of packaging/com.brindlework.velmora.desktop; the packaging tests hold them equal.
MIME_TYPES = (
    "video/3gpp", "video/3gpp2", "video/mp2t", "video/mp4", "video/mpeg", "video/ogg", "video/quicktime",
    "video/vnd.radgamettools.bink", "video/x-flv", "video/x-matroska", "video/x-ms-wmv", "video/x-msvideo",
    "video/x-ogm+ogg", "inode/directory",
)
LABELS = {
    "en": "Scramble or restore with Velmora",
    "de": "Mit Velmora verschlüsseln oder wiederherstellen",
    "ru": "Зашифровать или восстановить в Velmora",
    "zh_CN": "用 Velmora 加密或恢复",
}


def menu_label():
    """The label in the user's language, chosen as gettext would: LANGUAGE (a list, best first), then
    LC_ALL, LC_MESSAGES and LANG; "de_AT.UTF-8" takes "de_AT", then "de"; anything else is English."""
    for variable in ("LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"):
        value = os.environ.get(variable)
        if value:
            break
    else:
        return LABELS["en"]
    for locale in value.split(":") if variable == "LANGUAGE" else [value]:
        name = locale.split(".")[0].split("@")[0]
        for key in (name, name.split("_")[0]):
            if key in LABELS:
                return LABELS[key]
    return LABELS["en"]


def launch(argv):
    """Starts argv apart from Nautilus (its own session, no terminal streams) and reaps it when it ends.
    A failure to start goes to stderr: an exception here would reach Nautilus."""
    try:
        process = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL, start_new_session=True)
    except OSError as error:
        print("Velmora: cannot start %s: %s" % (argv[0], error), file=sys.stderr)
        return
    threading.Thread(target=process.wait, daemon=True).start()


def offered(file_info):
    """Local folders and files of the types the program takes; velmora-cli works on paths only."""
    if file_info.get_uri_scheme() != "file":
        return False
    return file_info.is_directory() or any(file_info.is_mime_type(t) for t in MIME_TYPES)


if Nautilus is not None:

    class VelmoraMenuProvider(GObject.GObject, Nautilus.MenuProvider):
        def get_file_items(self, files):
            if not files or not all(offered(f) for f in files):
                return []
            paths = [Gio.File.new_for_uri(f.get_uri()).get_path() for f in files]
            if None in paths:
                return []
            item = Nautilus.MenuItem(name="Velmora::ScrambleOrRestore", label=menu_label(), icon=APP_ID)
            # launch is looked up when the item is chosen, so that it can be replaced.
            item.connect("activate", lambda _item: launch([*COMMAND, *paths]))
            return [item]
