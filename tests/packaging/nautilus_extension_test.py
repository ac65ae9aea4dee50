#!/usr/bin/python3
"""The GNOME Files menu item, loaded from the given file with the real Nautilus 4.0 bindings: which
selections get it, its label, what it starts, and that its types are the desktop entry's.
Usage: nautilus_extension_test.py <extension.py> <desktop entry>. Exits 77 (skipped) without them."""

import importlib.util, os, sys, tempfile, time, unittest
from unittest import mock

try:
    import gi
    gi.require_version("Nautilus", "4.0")
    from gi.repository import Gio, GObject, Nautilus
except (ImportError, ValueError) as error:
    print("SKIP: the Nautilus 4.0 bindings are missing (python3-nautilus): %s" % error)
    sys.exit(77)

spec = importlib.util.spec_from_file_location("velmora_nautilus", sys.argv[1])
extension = importlib.util.module_from_spec(spec)
spec.loader.exec_module(extension)
scratch = tempfile.TemporaryDirectory(prefix="velmora-nautilus-")
GERMAN = "Mit Velmora verschlüsseln oder wiederherstellen"


class FileInfo(GObject.GObject, Nautilus.FileInfo):
    """A selected file as Nautilus describes it; like Nautilus, a type matches its subtypes too."""
    def __init__(self, name, mime, uri=None):
        super().__init__()
        self.path, self.mime = os.path.join(scratch.name, name), mime
        self.uri = uri or Gio.File.new_for_path(self.path).get_uri()
    def do_get_uri(self): return self.uri
    def do_get_uri_scheme(self): return self.uri.split(":")[0]
    def do_is_mime_type(self, mime): return Gio.content_type_is_a(self.mime, mime)
    def do_is_directory(self): return self.mime == "inode/directory"


def items(files, **locale):
    keep = {k: v for k, v in os.environ.items() if k not in ("LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG")}
    with mock.patch.dict(os.environ, {**keep, **locale}, clear=True):
        return extension.VelmoraMenuProvider().get_file_items(files)


class NautilusMenuItem(unittest.TestCase):
    def test_selections(self):
        video, text = FileInfo("a.mp4", "video/mp4"), FileInfo("b.txt", "text/plain")
        for files, count in [([video], 1), ([FileInfo("c.mkv", "video/x-matroska"), video], 1),
                             ([FileInfo("Films", "inode/directory")], 1), ([text], 0), ([video, text], 0),
                             ([FileInfo("", "video/mp4", "sftp://host/a.mp4")], 0), ([], 0)]:
            with self.subTest([f.uri for f in files]):
                self.assertEqual(len(items(files)), count)

    def test_label_follows_the_users_language(self):
        for locale, label in [({}, "Scramble or restore with Velmora"), ({"LANGUAGE": "de"}, GERMAN),
                              ({"LANGUAGE": "fr:de_AT", "LANG": "ru_RU.UTF-8"}, GERMAN),
                              ({"LC_ALL": "ru_RU.UTF-8", "LANG": "de_DE.UTF-8"}, "Зашифровать или восстановить в Velmora"),
                              ({"LC_MESSAGES": "zh_CN.UTF-8"}, "用 Velmora 加密或恢复")]:
            with self.subTest(locale):
                self.assertEqual(items([FileInfo("a.mp4", "video/mp4")], **locale)[0].props.label, label)

    def test_activating_hands_the_paths_to_velmora_cli(self):
        files = [FileInfo("Urlaub – Ölberg 视频.mp4", "video/mp4"), FileInfo("a b", "inode/directory")]
        with mock.patch.object(extension, "launch") as launch:
            items(files)[0].activate()
        launch.assert_called_once_with(["velmora-cli", "--file-manager", "--", *[f.path for f in files]])

    def test_launcher_detaches_and_survives_a_missing_program(self):
        record = os.path.join(scratch.name, "record")
        with open(os.path.join(scratch.name, "velmora-cli"), "w") as decoy:  # writes its arguments, session
            decoy.write('#!/bin/sh\nprintf "%%s|" "$@" $(cut -d" " -f6 /proc/$$/stat) >%s.part\n'
                        'mv %s.part %s\n' % ((record,) * 3))
        os.chmod(decoy.name, 0o755)
        with mock.patch.dict(os.environ, {"PATH": scratch.name + ":" + os.environ["PATH"]}):
            extension.launch(["velmora-cli", "--", "a b"])
        deadline = time.monotonic() + 10
        while not os.path.exists(record) and time.monotonic() < deadline:
            time.sleep(0.05)
        with open(record) as line:
            *arguments, session, _ = line.read().split("|")
        self.assertEqual(arguments, ["--", "a b"])
        self.assertNotEqual(session, str(os.getsid(0)), "velmora-cli stays in the file manager's session")
        with mock.patch.dict(os.environ, {"PATH": "/nonexistent"}), mock.patch("sys.stderr") as stderr:
            extension.launch(["velmora-cli"])
        self.assertIn("velmora-cli", str(stderr.write.call_args_list))

    def test_types_are_the_desktop_entrys(self):
        with open(sys.argv[2], encoding="utf-8") as entry:
            line = next(l for l in entry if l.startswith("MimeType="))
        self.assertCountEqual(extension.MIME_TYPES, filter(None, line.strip()[9:].split(";")))


if __name__ == "__main__":
    result = unittest.main(argv=sys.argv[:1], verbosity=2, exit=False).result
    scratch.cleanup()
    sys.exit(0 if result.wasSuccessful() else 1)
