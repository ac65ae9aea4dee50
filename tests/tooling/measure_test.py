"""The pure parts of scripts/measure.py: reading the trailer and counting decoded frames decide every
figure the tables show, so a slip there would make the docs wrong without any run failing."""

import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "scripts"))
import measure  # noqa: E402


def stored_trailer(key=b"", blocks=8, version=b"1.0.0", magic=b"KZVaultmark", size=96) -> bytes:
    """A trailer as the program writes it, laid out by offset: Key 0, Blocks 64, Version 68,
    Magic 81, Size 92, then every byte inverted."""
    record = bytearray(96)
    record[0:len(key)] = key
    record[64:68] = blocks.to_bytes(4, "little")
    record[68:68 + len(version)] = version
    record[81:81 + len(magic)] = magic
    record[92:96] = size.to_bytes(4, "little")
    return bytes(b ^ 0xFF for b in record)


class TrailerTest(unittest.TestCase):
    def test_records(self):
        cases = [
            ("no key, default head", stored_trailer(), measure.Trailer(b"", 8, "1.0.0")),
            ("a key, a stream's head", stored_trailer(key=b"secret", blocks=64), measure.Trailer(b"secret", 64, "1.0.0")),
            ("a key filling its field", stored_trailer(key=b"k" * 64), measure.Trailer(b"k" * 64, 8, "1.0.0")),
            ("a count past three bytes", stored_trailer(blocks=200_000), measure.Trailer(b"", 200_000, "1.0.0")),
            ("wrong magic", stored_trailer(magic=b"KZVaultmarx"), None),
            ("magic cut short by a zero", stored_trailer(magic=b"KZVault"), None),
            ("not inverted", bytes(b ^ 0xFF for b in stored_trailer()), None),
        ]
        for name, stored, expected in cases:
            with self.subTest(name):
                self.assertEqual(measure.parse_trailer(stored), expected)

    def test_wrong_length_is_refused(self):
        with self.assertRaises(ValueError):
            measure.parse_trailer(stored_trailer()[1:])


FRAMECRC = """#format: frame checksums
#version: 2
#tb 0: 1/25
#media_type 0: video
#tb 1: 1/48000
#media_type 1: audio
#stream#, dts,        pts, duration,     size, hash
0,          0,          0,        1,  1382400, 0x1
1,          0,          0,     1152,     4608, 0x2
0,          1,          1,        1,  1382400, 0x3
1,       1152,       1152,    47424,   189696, 0x4
"""


class FrameCountTest(unittest.TestCase):
    def test_counts(self):
        cases = [
            ("video and sound", FRAMECRC, measure.Decoded(2, 1.0, ("0x1", "0x3"))),
            ("nothing decoded", "#format: frame checksums\n", measure.Decoded()),
            ("video only", FRAMECRC.replace("media_type 1: audio", "media_type 1: data"),
             measure.Decoded(2, 0.0, ("0x1", "0x3"))),
        ]
        for name, text, expected in cases:
            with self.subTest(name):
                self.assertEqual(measure.parse_framehash(text), expected)

    def test_noise_is_told_from_playback(self):
        cases = [
            (measure.Decoded(), False, True),
            (measure.Decoded(1, 0.3), True, True),
            (measure.Decoded(3, 0.0), True, False),
            (measure.Decoded(0, 1.2), True, False),
            (True, True, False),
            (False, False, True),
        ]
        for result, plays, noise in cases:
            with self.subTest(result):
                self.assertEqual((measure.plays(result), measure.is_noise(result)), (plays, noise))


class TableTest(unittest.TestCase):
    def test_markdown(self):
        self.assertEqual(measure.table(["container", "VLC"], [["MPEG-PS .mpg", "401 f, 17.4 s"], ["MKV", 0]]),
                         "| container | VLC |\n|---|---|\n| MPEG-PS .mpg | 401 f, 17.4 s |\n| MKV | 0 |")

    def test_who_plays(self):
        results = {"ffmpeg": measure.Decoded(), "forced": measure.Decoded(400, 17.4),
                   "vlc": measure.Decoded(401, 17.4), "thumbnail": True}
        self.assertEqual(measure.who_plays(results), "VLC 401 f, 17.4 s; thumbnail")
        self.assertEqual(measure.who_plays({"mpv": measure.Decoded(), "thumbnail": False}), "0")
        self.assertEqual(measure.who_plays(None), "-")


if __name__ == "__main__":
    unittest.main()
