#!/usr/bin/env python3
"""Writes the mall's order-notification mail for one order, as an RFC 822 file for a maildir.

    python3 ordermail.py --encoding jis7 [--multipart] --out MAILDIR/new/FILE < order.json

Encodings (charset and transfer encoding of the text):
    jis7        ISO-2022-JP, 7bit          (what the mall usually sends)
    jis-base64  ISO-2022-JP, base64
    sjis-qp     Shift_JIS, quoted-printable
    euc-8bit    EUC-JP, 8bit
--multipart wraps the text as the first part of a multipart/mixed mail with a small CSV
attachment after it.

Order (JSON, UTF-8):
    {"shop": "桜商店",
     "number": "123456-20161024-0000000001",             optional
     "datetime": "2016-10-24 09:05:33",
     "orderer": {"name": "山田 太郎", "postal": "100-0001",
                 "address": "東京都千代田区千代田1-1", "phone": "03-1234-5678"},
     "destinations": [{"name": ..., "postal": ..., "address": ..., "phone": ...}],
                                                        optional, default: the orderer
     "items": [{"name": "桜のマグカップ (白)", "code": "mug-001", "price": 1200,
                "quantity": 2, "options": ["色：白"]}]}   options optional
A name holding "\\n" is written over several lines, as the mall wraps long names.
Lines end in CR LF; prices carry thousands commas as in the mall's mails.
"""

import argparse
import base64
import binascii
import json
import os
import sys
from email.header import Header

ENCODINGS = {
    # name: (codec, charset, transfer encoding)
    "jis7": ("iso2022_jp", "ISO-2022-JP", "7bit"),
    "jis-base64": ("iso2022_jp", "ISO-2022-JP", "base64"),
    "sjis-qp": ("cp932", "Shift_JIS", "quoted-printable"),
    "euc-8bit": ("euc_jp", "EUC-JP", "8bit"),
}

SUBJECT = "【自動送信】ご注文内容確認メール"
BOUNDARY = "=_order_mail_part_boundary"


def yen(amount):
    return f"{amount:,}"


def address_lines(person):
    return [f"         〒{person['postal']} {person['address']}",
            f"         (TEL) {person['phone']}"]


def item_lines(item):
    lines = item["name"].split("\n")
    lines[-1] += f" ({item['code']})"
    lines += item.get("options", [])
    price, quantity = item["price"], item["quantity"]
    lines.append(f"価格  {yen(price)}(円) x {quantity}(個) = {yen(price * quantity)}(円)")
    return lines


def order_body(order):
    """The mail text as lines (without line ends). The heading comes first: its kana decide the
    code for a reader that has to guess it."""
    orderer = order["orderer"]
    lines = [
        SUBJECT,
        "",
        f"{orderer['name']} 様",
        "",
        f"この度は{order['shop']}をご利用いただき、誠にありがとうございます。",
        "以下の内容でご注文を承りました。",
        "",
        f"■ ショップ名 ： {order['shop']}",
        "",
        f"[受注番号] {order.get('number', '000000-00000000-0000000000')}",
        f"[日時]     {order['datetime']}",
        f"[注文者] {orderer['name']} 様",
        *address_lines(orderer),
        "[支払方法] クレジットカード",
    ]
    for person in order.get("destinations", [orderer]):
        lines += [f"[送付先] {person['name']} 様", *address_lines(person)]
    lines.append("[商品]")
    total = 0
    for index, item in enumerate(order["items"]):
        if index:
            lines.append("----------")
        lines += item_lines(item)
        total += item["price"] * item["quantity"]
    lines += [
        "**********",
        f"[小計] {yen(total)}(円)",
        "[送料] 0(円)",
        f"[合計] {yen(total)}(円)",
        "",
        order["shop"],
    ]
    return lines


def encode_text(lines, encoding):
    """Headers for the text part and its encoded body, lines ending in LF."""
    codec, charset, transfer = ENCODINGS[encoding]
    # Line by line, so that every ISO-2022-JP line returns to ASCII before its end.
    raw = b"".join(line.encode(codec) + b"\n" for line in lines)
    if transfer == "base64":
        # Text is encoded in its canonical form, lines ending in CR LF.
        body = base64.encodebytes(raw.replace(b"\n", b"\r\n"))
    elif transfer == "quoted-printable":
        body = binascii.b2a_qp(raw, istext=True)
    else:
        body = raw
    headers = [f"Content-Type: text/plain; charset={charset}",
               f"Content-Transfer-Encoding: {transfer}"]
    return headers, body




def attachment(order):
    rows = [f"{item['code']},{item['price']},{item['quantity']}" for item in order["items"]]
    data = base64.encodebytes(("code,price,quantity\n" + "\n".join(rows) + "\n").encode("ascii"))
    return [b"Content-Type: text/csv; name=order.csv",
            b"Content-Disposition: attachment; filename=order.csv",
            b"Content-Transfer-Encoding: base64", b""], data


def order_mail(order, encoding, multipart=False):
    """The whole mail as bytes, every line ending in CR LF."""
    text_headers, text_body = encode_text(order_body(order), encoding)
    head = [
        "From: order@mall.example",
        "To: shop@shop.example",
        # Encoded words folded to the 75-character limit of RFC 2047.
        "Subject: " + Header(SUBJECT, "iso-2022-jp", header_name="Subject").encode(),
        "Date: Mon, 24 Oct 2016 09:05:40 +0900",
        f"Message-ID: <{order.get('number', 'order')}@mall.example>",
        "MIME-Version: 1.0",
    ]
    if not multipart:
        mail = "\n".join(head + text_headers).encode("ascii") + b"\n\n" + text_body
    else:
        attach_headers, attach_body = attachment(order)
        mail = b"\n".join(line.encode("ascii") for line in head + [
            f'Content-Type: multipart/mixed; boundary="{BOUNDARY}"', "",
            "This is a multi-part message in MIME format.", "",
            f"--{BOUNDARY}", *text_headers, ""]) + b"\n" + text_body
        mail += f"\n--{BOUNDARY}\n".encode("ascii") + b"\n".join(attach_headers) + b"\n"
        mail += attach_body + f"\n--{BOUNDARY}--\n".encode("ascii")
    # Encoded text never holds a byte 0A other than a line end (Shift-JIS and EUC-JP
    # second bytes are 40 or above), so every line end can become CR LF here.
    return mail.replace(b"\n", b"\r\n")


def main():
    parser = argparse.ArgumentParser(description="Write an order-notification mail.")
    parser.add_argument("--encoding", choices=sorted(ENCODINGS), default="jis7")
    parser.add_argument("--multipart", action="store_true")
    parser.add_argument("--out", required=True, help="mail file to write")
    args = parser.parse_args()
    order = json.load(sys.stdin)
    mail = order_mail(order, args.encoding, args.multipart)
    # In a maildir the file is written in tmp/ and moved into new/, so that a server
    # reading the mailbox never sees half a mail.
    folder, name = os.path.split(os.path.abspath(args.out))
    spool = os.path.join(os.path.dirname(folder), "tmp")
    temporary = os.path.join(spool, name) if os.path.isdir(spool) else args.out + ".tmp"
    with open(temporary, "wb") as f:
        f.write(mail)
    os.replace(temporary, args.out)


if __name__ == "__main__":
    main()
