"""What the program should produce for the sample orders against the local mall: the rows of
the recent-orders list, the requests to the mall and the status page, worked out from the
order data, the catalogue and the system's rules (mall page layout as tests/support/
mallserver.py serves it)."""

import html
import os
import re
import sys
import urllib.parse

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import mallserver  # noqa: E402  (tests/support)

SHOP_MARK = "■ ショップ名 ： "
NOT_FOUND = "(該当なし)"
STORED_SIZE = "48x48"
RESIZED = ("96x96", "64x64", "112x112")  # thumbnail sizes the lookup stores as 48x48


def url_encode(text):
    """The mall's keyword encoding of UTF-8 bytes."""
    keep = set(b"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789!$'()*-.@_")
    out = []
    for byte in text.encode("utf-8"):
        if byte in keep:
            out.append(chr(byte))
        elif byte == 0x20:
            out.append("+")
        else:
            out.append("%%%02X" % byte)
    return "".join(out)


def shop_name(order):
    # The shop-name line begins with the marker, whose closing blank is taken too.
    return " " + order["shop"]


def order_time(order):
    date, clock = order["datetime"].split(" ")
    _, month, day = date.split("-")
    hours, minutes = clock.split(":")[:2]
    return "%s/%s %s:%s" % (month, day, hours, minutes)


def prefecture(address):
    long_names = ("神奈川県", "和歌山県", "鹿児島県")
    head = address[:4] if any(name in address for name in long_names) else address[:3]
    return head if any(mark in head for mark in "都道府県") else "国外"


class Lookup:
    """The image cell, review cell and mall requests for one item.
    base: "http://host:port" of the mall, or None when the search host cannot be reached."""

    def __init__(self, catalogue_path, base, thumbnail_host):
        self.catalogue = mallserver.Catalogue(catalogue_path)
        self.base = base
        self.thumbnail_host = thumbnail_host

    def search_target(self, shop, keyword):
        return "/search/mall/%s+%s/?f=0" % (url_encode(shop), url_encode(keyword))

    def hits(self, shop, keyword):
        words = urllib.parse.unquote_plus(url_encode(shop) + "+" + url_encode(keyword)).split(" ")
        return self.catalogue.search(" ".join(words[:-1]).strip(" "), words[-1])

    def image_cell(self, item, closed):
        code = urllib.parse.quote(item["code"])
        size = STORED_SIZE if item["thumb"] in RESIZED else item["thumb"]
        cell = ("<a href='%s/item/%s/' target='_top'><img alt='%s' src='%s/@0_mall/shop/cabinet/%s.jpg?_ex=%s'"
                " border='0'>" % (self.base, code, html.escape(item["name"]),
                                  self.base, code, size))
        return cell + ("</a>" if closed else "")

    def review_url(self, hits):
        # The review icon of the first result gives the address; one that belongs to the
        # second result does not count.
        return "%s/review/%s/" % (self.base, urllib.parse.quote(hits[0]["code"])) \
            if hits[0].get("reviews") else ""

    def review_cell(self, item):
        reviews = item["reviews"]
        average = reviews["average"]
        star = "%s/@0_mall/com/img/review/star%s.gif" % (self.base, average.replace(".", ""))
        return ("<img src='%s' alt='%s' width='12' height='12'><br>%s<br>レビュー:%d件"
                % (star, average, average, reviews["count"]))

    def item(self, shop, name, code):
        """(image cell, review cell, [(target, version)])"""
        if self.base is None:
            return " ", "-", []
        requests = [(self.search_target(shop, code.replace("-", "―")), "HTTP/1.0")]
        hits = self.hits(shop, code.replace("-", "―"))
        if hits:
            image, closed_url = self.image_cell(hits[0], True), self.review_url(hits)
        else:
            keyword = name.replace("/", "／").replace("-", "―").replace(".", "．")
            requests.append((self.search_target(shop, keyword), "HTTP/1.1"))
            hits = self.hits(shop, keyword)
            if hits:
                image, closed_url = self.image_cell(hits[0], False), self.review_url(hits)
            else:
                image = ("<img border=0 src='http://%s/@0_mall/com/css/c/pc/img/nopicture/"
                         "nopicture.gif?_ex=48x48'>" % self.thumbnail_host)
                closed_url = ""
        if not closed_url:
            return image, "-", requests
        requests.append((closed_url[len(self.base):], "HTTP/1.1"))
        return image, self.review_cell(hits[0]), requests


def order_rows(order, lookup):
    """The rows one order mail adds, in insertion order (each goes to the top of the list),
    and the mall requests it causes."""
    rows, requests = [], []
    time_text = order_time(order).replace(" ", "\u3000")
    place = prefecture(order["orderer"]["address"])
    for item in order["items"]:
        name = item["name"].replace("\n", "").replace(" ", "\u3000") + "\u3000"
        image, review, asked = lookup.item(shop_name(order), name, item["code"])
        requests += asked
        rows.append([time_text, name, item["code"], image, place, str(item["price"]),
                     str(item["quantity"]), review])
    return rows, requests


def row_text(fields):
    quoted = {3, 7}
    return ",".join('"%s"' % f if i in quoted else f for i, f in enumerate(fields))


def list_file(rows):
    return "".join(row_text(r) + "\r\n" for r in rows).encode("cp932")


def price_text(price):
    return "{:,}".format(int(price)) if re.fullmatch(r"[+-]?\d+", price) else ""


CREDIT_LINE = re.compile(rb"<!-- Ver\.2016/10/24     \S(.*\S)? -->")
HOUSE_VERSION_LINE = b"<!-- Ver.2016/10/24 -->"


def status_page(rows, script_host, date=True, code=True, review=False, house=False):
    """The page for the rows (newest first) with otherwise default [HTML] settings, as a list
    of Shift-JIS lines. On other than a house machine the credit line is CREDIT_LINE."""
    lines = [
        '<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01 Transitional//EN" "http://www.w3.org/TR/html4/loose.dtd">',
        '<html><head><meta http-equiv="Content-Type" content="text/html; charset=shift_jis">'
        '<script type="text/javascript">(function(){var t = setInterval(function(){location.reload(true);}, 40000);})();</script>'
        '<style type=text/css><!--table {  border:solid 1px #ccc;}td, th{   font-size : 12px;  line-height: 1.3;  padding: 2px; border:solid 1px #ccc;}--></style>',
        '<script language="JavaScript" type="text/javascript" src="http://%s/com/js/d/common/jquery-1.4.2.min.js" ></script>'
        % script_host,
        None,  # version comment
        "",    # AddText
    ]
    head = ("<title>最新のご注文状況</title><style>body { background-color:#000000; color:#FFFFFF; }</style>"
            "</head><body><center>最新のご注文状況<br><table width=600><thead><TR>")
    head += "<th id=dt nowrap>日時</th>" if date else ""
    head += "<th id=nam nowrap>商品名</th>"
    head += "<th id=cd nowrap>コード</th>" if code else ""
    head += ("<th id=gz nowrap>商品画像</th><th id=adr nowrap>ご住所</th>"
             "<th id=tanka nowrap>単価</th><th id=suryo nowrap>数量</th>")
    head += "<th id=rev nowrap>レビュー</th>" if review else ""
    lines.append(head + "</tr></thead><tbody>")
    for f in rows:
        name = f[1] if len(f[1]) <= 60 else f[1][:60] + "..."
        line = "<tr align=Left>"
        line += "<td id=dt>%s</td>" % f[0].replace("\u3000", " ") if date else ""
        line += "<td id=nam>%s</td>" % name
        line += "<td id=cd>%s</td>" % f[2] if code else ""
        line += "<td id=gz nowrap>%s</td><td id=adr nowrap>%s</td>" % (f[3], f[4])
        line += '<td id=tanka nowrap align="right">%s円</td>' % price_text(f[5])
        line += '<td id=suryo align="right">%s</td>' % f[6]
        if review:
            line += "<td id=rev nowrap>%s</td>" % f[7] if len(f) > 7 else "<td>-</td>"
        lines.append(line + "</tr>")
    lines.append("</tbody></table></body></html>")
    encoded = [l.encode("cp932") if l is not None else None for l in lines]
    encoded[3] = HOUSE_VERSION_LINE if house else None
    return encoded


def page_mismatch(actual, expected_lines):
    """None when the page bytes match the expected lines (a None line: the credit comment),
    else a short description of the first difference."""
    if not actual.endswith(b"\r\n"):
        return "the page does not end with CR LF"
    lines = actual[:-2].split(b"\r\n")
    for number, (got, want) in enumerate(zip(lines, expected_lines), start=1):
        ok = CREDIT_LINE.fullmatch(got) if want is None else got == want
        if not ok:
            return "line %d differs:\n  got:  %s\n  want: %s" % (
                number, got.decode("cp932", "replace"),
                "(credit comment)" if want is None else want.decode("cp932", "replace"))
    if len(lines) != len(expected_lines):
        return "%d lines, expected %d" % (len(lines), len(expected_lines))
    return None
