"""Order mails: each encoding carries the same mall-format text, readable by a mail library."""

import email
import json
import os
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
GENERATOR = os.path.join(HERE, "ordermail.py")
E2E_DATA = os.path.join(HERE, "..", "e2e", "data")

ORDER = {
    "shop": "花屋",
    "number": "111111-20170102-0000000009",
    "datetime": "2017-01-02 03:04:05",
    "orderer": {"name": "田中 一", "postal": "420-0001",
                "address": "静岡県静岡市葵区1-2", "phone": "054-000-0000"},
    "items": [
        {"name": "薔薇の花束\n(赤)", "code": "ab-12", "price": 1234567, "quantity": 2,
         "options": ["包装：あり"]},
        {"name": "花瓶", "code": "vase", "price": 980, "quantity": 1},
    ],
}

EXPECTED_BODY = """\
【自動送信】ご注文内容確認メール

田中 一 様

この度は花屋をご利用いただき、誠にありがとうございます。
以下の内容でご注文を承りました。

■ ショップ名 ： 花屋

[受注番号] 111111-20170102-0000000009
[日時]     2017-01-02 03:04:05
[注文者] 田中 一 様
         〒420-0001 静岡県静岡市葵区1-2
         (TEL) 054-000-0000
[支払方法] クレジットカード
[送付先] 田中 一 様
         〒420-0001 静岡県静岡市葵区1-2
         (TEL) 054-000-0000
[商品]
薔薇の花束
(赤) (ab-12)
包装：あり
価格  1,234,567(円) x 2(個) = 2,469,134(円)
----------
花瓶 (vase)
価格  980(円) x 1(個) = 980(円)
**********
[小計] 2,470,114(円)
[送料] 0(円)
[合計] 2,470,114(円)

花屋
""".replace("\n", "\r\n").encode("cp932")

# encoding option: charset, transfer encoding, codec of the charset
ENCODINGS = {
    "jis7": ("iso-2022-jp", "7bit", "iso2022_jp"),
    "jis-base64": ("iso-2022-jp", "base64", "iso2022_jp"),
    "sjis-qp": ("shift_jis", "quoted-printable", "cp932"),
    "euc-8bit": ("euc-jp", "8bit", "euc_jp"),
}


def generate(order, encoding, multipart=False):
    """Runs the command line into a fresh maildir; the bytes of the mail file."""
    with tempfile.TemporaryDirectory() as maildir:
        for sub in ("new", "cur", "tmp"):
            os.mkdir(os.path.join(maildir, sub))
        out = os.path.join(maildir, "new", "1.mail")
        command = [sys.executable, GENERATOR, "--encoding", encoding, "--out", out]
        if multipart:
            command.append("--multipart")
        run = subprocess.run(command, input=json.dumps(order).encode("utf-8"),
                             capture_output=True, timeout=60)
        if run.returncode:
            raise AssertionError(run.stderr.decode(errors="replace"))
        assert os.listdir(os.path.join(maildir, "tmp")) == []
        assert os.listdir(os.path.join(maildir, "new")) == ["1.mail"]
        with open(out, "rb") as f:
            return f.read()


def text_as_sjis(part, codec):
    return part.get_payload(decode=True).decode(codec).encode("cp932")


class OrderMailTest(unittest.TestCase):
    def test_every_encoding_decodes_to_the_mall_text(self):
        for encoding, (charset, transfer, codec) in ENCODINGS.items():
            with self.subTest(encoding=encoding):
                raw = generate(ORDER, encoding)
                self.assertNotIn(b"\n", raw.replace(b"\r\n", b""))  # CR LF line ends only
                mail = email.message_from_bytes(raw)
                self.assertEqual(mail.get_content_type(), "text/plain")
                self.assertEqual(mail.get_content_charset(), charset)
                self.assertEqual(mail["Content-Transfer-Encoding"], transfer)
                self.assertEqual(text_as_sjis(mail, codec), EXPECTED_BODY)
                self.assertEqual(str(email.header.make_header(
                    email.header.decode_header(mail["Subject"]))), "【自動送信】ご注文内容確認メール")

    def test_seven_bit_forms_carry_no_high_bytes_and_eight_bit_form_does(self):
        for encoding in ("jis7", "jis-base64", "sjis-qp"):
            self.assertTrue(generate(ORDER, encoding).isascii(), encoding)
        self.assertFalse(generate(ORDER, "euc-8bit").isascii())
        for line in generate(ORDER, "sjis-qp").split(b"\r\n"):
            self.assertLessEqual(len(line), 76, line)

    def test_jis_lines_return_to_ascii_before_their_end(self):
        body = generate(ORDER, "jis7").split(b"\r\n\r\n", 1)[1]
        for line in body.split(b"\r\n"):
            self.assertLessEqual(line.rfind(b"\x1b$B"), line.rfind(b"\x1b(B"), line)

    def test_multipart_mail_puts_the_text_first(self):
        mail = email.message_from_bytes(generate(ORDER, "sjis-qp", multipart=True))
        self.assertEqual(mail.get_content_type(), "multipart/mixed")
        text, attached = mail.get_payload()
        self.assertEqual(text.get_content_type(), "text/plain")
        self.assertEqual(text_as_sjis(text, "cp932"), EXPECTED_BODY)
        self.assertEqual(attached.get_filename(), "order.csv")
        self.assertIn(b"ab-12,1234567,2", attached.get_payload(decode=True))

    def test_sample_orders_read_the_same_in_every_encoding(self):
        samples = [name for name in sorted(os.listdir(E2E_DATA)) if name.startswith("order-")]
        self.assertGreaterEqual(len(samples), 3)
        for name in samples:
            with open(os.path.join(E2E_DATA, name), encoding="utf-8") as f:
                order = json.load(f)
            texts = set()
            for encoding, (_, _, codec) in ENCODINGS.items():
                texts.add(text_as_sjis(email.message_from_bytes(generate(order, encoding)), codec))
            self.assertEqual(len(texts), 1, name)
            text = texts.pop()
            self.assertEqual(text.count("[送付先] ".encode("cp932")),
                             len(order.get("destinations", [None])), name)
            self.assertEqual(text.count(b"\r\n----------\r\n"), len(order["items"]) - 1, name)


if __name__ == "__main__":
    unittest.main()
