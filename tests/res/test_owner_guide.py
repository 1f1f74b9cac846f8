"""The owner's guide as shipped: Shift-JIS, CR LF, every character mapped."""
import pathlib
import subprocess
import sys
import tempfile
import unittest

ROOT = pathlib.Path(__file__).resolve().parents[2]
GUIDE = (ROOT / "res" / "readme-shop-ja.txt").read_bytes()


class Conversion(unittest.TestCase):
    def test_the_guide_and_the_edges(self):  # a character without a code writes nothing and names its line
        for text, expected, message in [("a\nソ表\r\n終了".encode(), b"a\r\n\x83\x5c\x95\x5c\r\n\x8f\x49\x97\xb9", b""),
                                        ("a\nb—c\n".encode(), None, b":2:"),
                                        (GUIDE, GUIDE.decode().replace("\n", "\r\n").encode("cp932"), b"")]:
            with self.subTest(text[:12]), tempfile.TemporaryDirectory() as folder:
                source, out = pathlib.Path(folder, "in.txt"), pathlib.Path(folder, "out.txt")
                source.write_bytes(text)
                run = subprocess.run([sys.executable, ROOT / "scripts/sjis-text", source, out], capture_output=True)
                self.assertEqual(out.read_bytes() if out.exists() else None, expected)
                self.assertEqual((run.returncode == 0, message in run.stderr), (expected is not None, True))
