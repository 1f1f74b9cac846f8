"""One order sent in every charset and shape mail systems use today (ISO-2022-JP 7bit, UTF-8
8bit, base64 and quoted-printable, HTML only, multipart/alternative) through the real
mailbox, the local mall and the real FTP server: each gives the same row, byte for byte,
with extension characters (①, 髙) in the name; an emoji in a UTF-8 name becomes 〓."""

import base64
import binascii
import copy
import html
import os
import unittest

import expected
import harness
import ordermail  # tests/support, on the path through harness

ORDER = {
    "shop": "桜商店",
    "datetime": "2016-10-24 09:05:33",
    "orderer": {"name": "髙橋 ①子", "postal": "100-0001",
                "address": "東京都千代田区千代田1-1", "phone": "03-1234-5678"},
    "items": [{"name": "桜①髙のマグ", "code": "mug-001", "price": 1200, "quantity": 2}],
}
COUNT = 20


def iconv_codes(data):
    """Python's cp932 codec writes 髙 with NEC's selection (EE E0); the program writes the
    code iconv gives it (FB FC), whatever code the mail came in."""
    return data.replace(b"\xee\xe0", b"\xfb\xfc") if data is not None else None


def numbered(order, number, **item):
    order = copy.deepcopy(order)
    order["number"] = "123456-20161024-%010d" % number
    order["items"][0].update(item)
    return order


def jis_line(line):
    """A line in ISO-2022-JP as Japanese mail programs write code page 932's extension
    characters: their JIS rows (NEC's row 13, NEC's selection of IBM's rows 89 to 92)."""
    sjis = line.encode("cp932").replace(b"\xfb\xfc", b"\xee\xe0")  # 髙 by NEC's selection
    out, double, i = b"", False, 0
    while i < len(sjis):
        s1 = sjis[i]
        if s1 < 0x80:
            if double:
                out += b"\x1b(B"
                double = False
            out += bytes([s1])
            i += 1
            continue
        s2 = sjis[i + 1]
        base = 0x70 if s1 <= 0x9F else 0xB0
        if s2 >= 0x9F:
            j1, j2 = (s1 - base) * 2, s2 - 0x7E
        else:
            j1, j2 = (s1 - base) * 2 - 1, s2 - 0x1F - (1 if s2 >= 0x80 else 0)
        if not double:
            out += b"\x1b$B"
            double = True
        out += bytes([j1, j2])
        i += 2
    return out + (b"\x1b(B" if double else b"")


def html_body(lines):
    return ("<html><head><title>ご注文</title><style>p { margin: 0 }</style></head><body>\n"
            + "".join("<p>%s</p>\n" % html.escape(line).replace("  ", "&nbsp;&nbsp;") for line in lines)
            + "</body></html>\n")


def mail(order, headers, body):
    """The whole mail: the mall's head, then the given content headers and body (LF lines)."""
    head = ["From: order@mall.example", "To: shop@shop.example",
            "Subject: =?UTF-8?B?%s?=" % base64.b64encode("ご注文".encode()).decode(),
            "Date: Mon, 24 Oct 2016 09:05:40 +0900",
            "Message-ID: <%s@mall.example>" % order["number"], "MIME-Version: 1.0"]
    return ("\n".join(head + headers) + "\n\n").encode("ascii").replace(b"\n", b"\r\n") \
        + body.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")


def utf8_text(order):
    return "".join(line + "\n" for line in ordermail.order_body(order)).encode()


def shapes():
    """(name, order, mail) for every shape; the orders differ only in their number."""
    made = []

    def add(name, build):
        order = numbered(ORDER, len(made) + 1)
        made.append((name, order, build(order)))

    add("ISO-2022-JP 7bit", lambda o: mail(o, ["Content-Type: text/plain; charset=ISO-2022-JP",
                                               "Content-Transfer-Encoding: 7bit"],
                                           b"".join(jis_line(l) + b"\n" for l in ordermail.order_body(o))))
    add("UTF-8 8bit", lambda o: mail(o, ["Content-Type: text/plain; charset=UTF-8",
                                         "Content-Transfer-Encoding: 8bit"], utf8_text(o)))
    add("UTF-8 base64", lambda o: mail(o, ['Content-Type: text/plain; charset="utf-8"',
                                           "Content-Transfer-Encoding: base64"],
                                       base64.encodebytes(utf8_text(o).replace(b"\n", b"\r\n"))))
    add("UTF-8 quoted-printable", lambda o: mail(o, ["Content-Type: text/plain; charset=UTF-8",
                                                     "Content-Transfer-Encoding: quoted-printable"],
                                                 binascii.b2a_qp(utf8_text(o), istext=True)))
    add("UTF-8 HTML only", lambda o: mail(o, ["Content-Type: text/html; charset=UTF-8",
                                              "Content-Transfer-Encoding: 8bit"],
                                          html_body(ordermail.order_body(o)).encode()))

    def alternative(o):
        # The HTML part orders another quantity: the row shows which part was read.
        other = numbered(o, 0, quantity=9)
        other["number"] = o["number"]
        return mail(o, ['Content-Type: multipart/alternative; boundary="alt"'],
                    b"--alt\nContent-Type: text/plain; charset=UTF-8\nContent-Transfer-Encoding: base64\n\n"
                    + base64.encodebytes(utf8_text(o)) + b"\n--alt\n"
                    + b"Content-Type: text/html; charset=UTF-8\nContent-Transfer-Encoding: 8bit\n\n"
                    + html_body(ordermail.order_body(other)).encode() + b"\n--alt--\n")
    add("multipart/alternative", alternative)
    return made


class Charsets(harness.ProgramRun):
    NAME = "charsets"

    @classmethod
    def sections(cls, target, mall):
        return harness.settings(cls.pop3, cls.ftp, target, mall.host, html={"Review": 1, "Count": COUNT})

    @classmethod
    def prepare(cls):
        cls.shapes = shapes()
        cls.emoji_order = numbered(ORDER, 99, name="桜\U0001F363のマグ")
        for _, _, data in cls.shapes:
            cls.maildir.put(data)
        cls.maildir.put(mail(cls.emoji_order, ["Content-Type: text/plain; charset=utf-8"], utf8_text(cls.emoji_order)))

    @classmethod
    def drive(cls):
        mails = len(cls.shapes) + 1
        cls.uploads = cls.watcher.wait_uploads(mails, 90)
        cls.mailbox_emptied = harness.wait_for(lambda: cls.maildir.count() == 0, 10)
        cls.final_list = cls.program.file("itemsl.csv")
        cls.final_page = cls.program.file("item.html")

    def lookup(self):
        return expected.Lookup(harness.CATALOGUE, "http://" + self.mall.host, self.mall.host)

    def order_row(self, order):
        rows, _ = expected.order_rows(order, self.lookup())
        self.assertEqual(len(rows), 1)
        return rows[0]

    def test_every_shape_gives_the_same_row_byte_for_byte(self):
        self.assertIsNotNone(self.final_list, "no itemsl.csv")
        lines = self.final_list.split(b"\r\n")
        # Newest first: the emoji mail's row, then one row per shape in reverse order.
        shape_rows = lines[1:1 + len(self.shapes)]
        self.assertEqual(len(shape_rows), len(self.shapes), "rows in itemsl.csv")
        wanted = iconv_codes(expected.list_file([self.order_row(ORDER)])).rstrip(b"\r\n")
        for (name, _, _), row in zip(reversed(self.shapes), shape_rows):
            with self.subTest(shape=name):
                self.assertEqual(row, wanted)
                self.assertIn(b"\x87\x40\xfb\xfc", row)  # ①髙 in the name, by the program's codes

    def test_emoji_becomes_the_geta_mark(self):
        lines = self.final_list.split(b"\r\n")
        marked = copy.deepcopy(ORDER)
        marked["items"][0]["name"] = "桜〓のマグ"
        self.assertEqual(lines[0], expected.list_file([self.order_row(marked)]).rstrip(b"\r\n"))
        self.assertIn("桜〓のマグ".encode("cp932"), lines[0])

    def test_each_shape_publishes_the_same_page_rows(self):
        self.assertEqual(len(self.uploads), len(self.shapes) + 1, "number of uploads")
        row = self.order_row(ORDER)
        for number, ((_, page), (name, _, _)) in enumerate(zip(self.uploads, self.shapes), start=1):
            with self.subTest(shape=name):
                wanted = expected.status_page([row] * number, self.mall.host, review=True)
                self.assertIsNone(expected.page_mismatch(page, [iconv_codes(line) for line in wanted]))

    def test_no_mail_failed_and_the_mailbox_is_emptied(self):
        self.assertTrue(self.mailbox_emptied, "%d mails left" % self.maildir.count())
        self.assertFalse(os.path.isdir(os.path.join(self.folder.path, "failed"))
                         and os.listdir(os.path.join(self.folder.path, "failed")))
        self.assertEqual(self.exit_status, 0)
        self.assertEqual(self.program.stderr_troubles(), [])


if __name__ == "__main__":
    unittest.main()
