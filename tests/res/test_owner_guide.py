"""The owner's Japanese guide as it is shipped: Shift-JIS with CR LF, every character
mapped, and the topics the owner looks for in it."""
import os
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
CONVERT = os.path.join(ROOT, "scripts", "sjis-text")
GUIDE = os.path.join(ROOT, "res", "readme-shop-ja.txt")


def convert(text):
    """Runs the conversion on text (bytes, UTF-8): its exit status and what it wrote."""
    with tempfile.TemporaryDirectory() as folder:
        source, target = os.path.join(folder, "in.txt"), os.path.join(folder, "out.txt")
        with open(source, "wb") as f:
            f.write(text)
        run = subprocess.run([sys.executable, CONVERT, source, target], capture_output=True)
        written = None
        if os.path.exists(target):
            with open(target, "rb") as f:
                written = f.read()
        return run.returncode, written, run.stderr.decode()


class Conversion(unittest.TestCase):
    def test_line_ends_and_codes(self):
        cases = [
            ("LF", "一行目\n二行目\n".encode(), "一行目\r\n二行目\r\n".encode("cp932")),
            ("CR LF kept single", "a\r\nソ表\r\n".encode(), b"a\r\n\x83\x5c\x95\x5c\r\n"),
            ("no final line end", "終了".encode(), "終了".encode("cp932")),
            ("full-width digits", "９９５\n".encode(), b"\x82\x58\x82\x58\x82\x54\r\n"),
        ]
        for what, text, expected in cases:
            with self.subTest(what):
                status, written, _ = convert(text)
                self.assertEqual(status, 0)
                self.assertEqual(written, expected)

    def test_a_character_without_a_code_writes_nothing(self):
        for what, text, line in [("accent", "café\n", 1), ("em dash", "a\nb—c\n", 2), ("emoji", "\r\n\n😀", 3)]:
            with self.subTest(what):
                status, written, message = convert(text.encode())
                self.assertNotEqual(status, 0)
                self.assertIsNone(written)
                self.assertIn(":%d:" % line, message)


class Guide(unittest.TestCase):
    def setUp(self):
        with open(GUIDE, "rb") as f:
            status, self.data, message = convert(f.read())
        self.assertEqual(status, 0, message)
        self.text = self.data.decode("cp932")

    def test_every_line_ends_in_cr_lf(self):
        self.assertEqual(self.data.count(b"\n"), self.data.count(b"\r\n"))
        self.assertEqual(self.data.count(b"\r"), self.data.count(b"\r\n"))
        self.assertTrue(self.data.endswith(b"\r\n"))
        with open(GUIDE, encoding="utf-8") as f:
            self.assertEqual(self.text.replace("\r\n", "\n"), f.read())

    def test_it_tells_what_the_owner_looks_for(self):
        for topic in ["はじめに", "環境設定", "設定完了", "TLS", "証明書 SHA-256", "itemsl.csv", "itemsl.mails",
                      "failed\\", "item.unpublished", "Vendlume-events.log", "警告", "通知",
                      "Windows の起動時に開始", "終了"]:
            with self.subTest(topic):
                self.assertIn(topic, self.text)


if __name__ == "__main__":
    unittest.main()
