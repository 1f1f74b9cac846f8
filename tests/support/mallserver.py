#!/usr/bin/env python3
"""A stand-in for the mall's web hosts on loopback, for end-to-end tests and the demo.

    python3 mallserver.py --port 0 --catalog CATALOG.json --log REQUESTS.log --port-file PORT.txt

One port plays the search host, the thumbnail host and the static-script host; requests
are told apart by path alone:

    GET /search/mall/<shop>+<keyword>/?f=0   search result page (UTF-8)
    GET /review/<code>/                      review page (EUC-JP or Shift-JIS, per catalogue)
    GET /item/<code>/                        item page (UTF-8)
    GET /com/js/d/common/jquery-1.4.2.min.js small stand-in script (see PLACEHOLDER_SCRIPT)
    GET /@0_mall/...                         placeholder image (1x1 GIF)

Port 0 picks a free port. The port actually used is written to the port file (replaced
whole, so a reader never sees half a number); nothing is printed. Every request appends one
line "METHOD TARGET HOST VERSION" to the log ("-" when the request had no Host header).
SIGTERM ends the server. With --tls-cert and --tls-key the port speaks HTTPS only. With
--hostile every page is one a tampered mall (or a network in between) could send: see
HOSTILE below.

Catalogue (JSON, UTF-8):
    {"shop": "桜商店",                 optional: searches must name this shop to hit
     "items": [{"code": "mug-001",
                "name": "桜のマグカップ (白)",
                "thumb": "64x64",        size in the thumbnail address (?_ex=64x64)
                "by_code": true,         optional, default true: false = found by name only
                "reviews": {"encoding": "EUC-JP" or "Shift_JIS",
                            "average": "4.5", "count": 12}}]}   optional
"""

import argparse
import hashlib
import html
import json
import os
import signal
import ssl
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

SEARCH_PREFIX = "/search/mall/"
SCRIPT_PATH = "/com/js/d/common/jquery-1.4.2.min.js"
IMAGE_PREFIX = "/@0_mall/"

# The program turns these into their full-width forms before searching; a catalogue name is
# turned the same way so that the search by name can compare like with like.
NAME_SEARCH_FORMS = str.maketrans({" ": "\u3000", "/": "\uff0f", "-": "\u2015", ".": "\uff0e"})


# What --hostile puts into the pages: the first result's photo links to a script and its image
# carries a handler, the item's name link carries another, and the review stars are a data:
# image with a handler. Nothing of it may reach the shop's page.
HOSTILE = {
    "photo_link": "javascript:alert(1)",
    "image_extra": ' onerror="alert(2)"',
    "name_extra": ' onmouseover="alert(3)"',
    "star": "data:image/gif;base64,R0lGODlhAQABAIAAAAAAAP///yH5BAEAAAAALAAAAAABAAEAAAIBRAA7",
    "star_extra": " onerror='alert(4)'",
}
NO_TAMPERING = {"photo_link": None, "image_extra": "", "name_extra": "", "star": None, "star_extra": ""}


def code_keyword(code):
    return code.replace("-", "\u2015")


def name_keyword(name):
    return name.translate(NAME_SEARCH_FORMS).strip("\u3000")


def split_query(segment):
    """The shop name and the keyword of a search path segment. The keyword is the last
    blank-separated word (the program's keywords carry no ASCII blank); the shop is the rest."""
    words = urllib.parse.unquote_plus(segment, encoding="utf-8", errors="replace").split(" ")
    return " ".join(words[:-1]).strip(" "), words[-1]


class Catalogue:
    def __init__(self, path):
        with open(path, encoding="utf-8") as f:
            data = json.load(f)
        self.shop = data.get("shop")
        self.items = data["items"]

    def search(self, shop, keyword):
        """Matching items, best first: the first hit, then the others as further results."""
        if self.shop is not None and shop != self.shop:
            return []
        wanted = keyword.strip("\u3000")
        for item in self.items:
            if (item.get("by_code", True) and wanted == code_keyword(item["code"])) or \
                    wanted == name_keyword(item["name"]):
                return [item] + [other for other in self.items if other is not item]
        return []

    def find(self, code):
        return next((item for item in self.items if item["code"] == code), None)


def result_block(position, item, base, tampering=NO_TAMPERING):
    """One search result as the mall lays it out: indented with TABs, the photo link spread
    over several lines."""
    code = urllib.parse.quote(item["code"])
    name = html.escape(item["name"])
    photo_link = tampering["photo_link"] or f"{base}/item/{code}/"
    lines = [
        f'<div class="rsrSResultSect" itemPosition="{position}">',
        '\t<div class="rsrSResultPhoto">',
        f'\t\t<a href="{photo_link}">',
        f'\t\t\t<img alt="{name}" src="{base}/@0_mall/shop/cabinet/{code}.jpg?_ex={item["thumb"]}" ',
        f'\t\t\t\tborder="0"{tampering["image_extra"]}>',
        '\t\t</a>',
        '\t</div>',
        '\t<div class="rsrSResultItemTxt">',
        f'\t\t<h2><a href="{base}/item/{code}/"{tampering["name_extra"]}>{name}</a></h2>',
        '\t</div>',
    ]
    reviews = item.get("reviews")
    if reviews:
        lines += [
            '\t<div class="rsrSResultItemInfo">',
            f'\t\t<span class="txtIconReview"><a href="{base}/review/{code}/">'
            f'レビュー({reviews["count"]}件)</a></span>',
            '\t</div>',
        ]
    lines.append("</div>")
    return lines


def search_page(shop, keyword, hits, base, tampering=NO_TAMPERING):
    lines = [
        "<!DOCTYPE html>",
        '<html lang="ja">',
        '<head><meta charset="UTF-8">',
        f"<title>{html.escape(shop)} {html.escape(keyword)}の検索結果</title></head>",
        "<body>",
        '<div id="rsrSearchResult">',
    ]
    if hits:
        lines.append(f'<p class="rsrHitCount">{len(hits)}件</p>')
        for position, item in enumerate(hits[:2], start=1):
            lines += result_block(position, item, base, tampering)
    else:
        lines.append('<p class="rsrNoHit">該当する商品が見つかりませんでした。</p>')
    lines += ["</div>", "</body>", "</html>", ""]
    return "\n".join(lines).encode("utf-8")


def review_page(item, base, tampering=NO_TAMPERING):
    """The review page, encoded as the catalogue says. The title comes first: its kana decide
    the code for a reader that has to guess it."""
    reviews = item["reviews"]
    average = reviews["average"]
    star = tampering["star"] or f'{base}/@0_mall/com/img/review/star{average.replace(".", "")}.gif'
    text = "\r\n".join([
        "<html>",
        f'<head><meta http-equiv="Content-Type" content="text/html; charset={reviews["encoding"]}">',
        f"<title>みんなのレビュー・口コミ {html.escape(item['name'])}</title></head>",
        "<body>",
        f"<h1>{html.escape(item['name'])}のレビュー</h1>",
        '<div class="revEvaSummary">',
        "<dl><dt>総合評価</dt>",
        f'<dd><span class="revEvaStar"><img src="{star}" alt="{average}" width="26" height="24"{tampering["star_extra"]}></span>',
        f'<span class="revEvaNumber average">{average}</span></dd>',
        f'<dd><span class="Count">{reviews["count"]}</span>件</dd></dl>',
        "</div>",
        "</body>",
        "</html>",
        "",
    ])
    codec = {"EUC-JP": "euc_jp", "SHIFT_JIS": "cp932"}[reviews["encoding"].upper()]
    return text.encode(codec), f'text/html; charset={reviews["encoding"]}'


def item_page(item):
    name = html.escape(item["name"])
    return (f'<!DOCTYPE html>\n<html lang="ja"><head><meta charset="UTF-8"><title>{name}</title>'
            f"</head><body><h1>{name}</h1></body></html>\n").encode("utf-8")


def placeholder_gif(path):
    """A 1x1 GIF whose one colour follows from the path, so different items look different."""
    red, green, blue = hashlib.md5(path.encode()).digest()[:3]
    return (b"GIF89a\x01\x00\x01\x00\x80\x00\x00" + bytes([red, green, blue]) + b"\x00\x00\x00"
            + b",\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00;")


# Not the library the mall serves: a stand-in with just the calls the status page makes
# (ready handler, click, bind, parent, find, attr, fadeIn), so that a page viewed in a
# browser against this server shows its rows and follows its row links.
PLACEHOLDER_SCRIPT = b"""/* stand-in for the mall's jQuery 1.4.2 */
(function () {
  function Set(nodes) { this.nodes = nodes; }
  function each(set, fn) { set.nodes.forEach(fn); return set; }
  Set.prototype = {
    bind: function (type, fn) { return each(this, function (n) { n.addEventListener(type, fn); }); },
    click: function (fn) { return this.bind("click", fn); },
    parent: function (sel) {
      return new Set(this.nodes.map(function (n) { return n.parentNode; }).filter(
          function (n) { return n && n.matches && (!sel || n.matches(sel)); }));
    },
    find: function (sel) {
      var out = [];
      each(this, function (n) { out.push.apply(out, n.querySelectorAll(sel)); });
      return new Set(out);
    },
    attr: function (name) { return this.nodes.length ? this.nodes[0].getAttribute(name) : undefined; },
    fadeIn: function (ms) {
      return each(this, function (n) {
        n.style.opacity = 0; n.style.display = "block"; n.style.transition = "opacity " + ms + "ms";
        setTimeout(function () { n.style.opacity = 1; }, 0);
      });
    }
  };
  window.jQuery = window.$ = function (what) {
    if (typeof what === "function") {
      if (document.readyState === "loading") document.addEventListener("DOMContentLoaded", what);
      else what();
      return undefined;
    }
    if (typeof what === "string") return new Set(Array.prototype.slice.call(document.querySelectorAll(what)));
    return new Set([what]);
  };
})();
"""


def answer(catalogue, path, base, tampering=NO_TAMPERING):
    """(status, body, content type) of a GET of path, the links in the pages starting with
    base ("http://host:port")."""
    if path.startswith(SEARCH_PREFIX) and path.endswith("/"):
        shop, keyword = split_query(path[len(SEARCH_PREFIX):-1])
        page = search_page(shop, keyword, catalogue.search(shop, keyword), base, tampering)
        return 200, page, "text/html; charset=UTF-8"
    parts = path.strip("/").split("/")
    if len(parts) == 2 and parts[0] in ("review", "item"):
        item = catalogue.find(urllib.parse.unquote(parts[1]))
        if item and parts[0] == "item":
            return 200, item_page(item), "text/html; charset=UTF-8"
        if item and item.get("reviews"):
            body, ctype = review_page(item, base, tampering)
            return 200, body, ctype
    elif path == SCRIPT_PATH:
        return 200, PLACEHOLDER_SCRIPT, "application/javascript"
    elif path.startswith(IMAGE_PREFIX):
        return 200, placeholder_gif(path), "image/gif"
    return 404, b"<html><body>404 Not Found</body></html>\n", "text/html"


class MallHandler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def do_GET(self):
        self.server.log_request_line(self.command, self.path, self.headers.get("Host"),
                                     self.request_version)
        if self.path.startswith("/review/") and self.server.take_stall():
            # A review page that stalls and then breaks off without an answer.
            time.sleep(self.server.stall_seconds)
            self.close_connection = True
            return
        status, body, ctype = self.route()
        if self.path.startswith("/review/") and self.server.review_status:
            status, body = self.server.review_status, b"<html><body>unavailable</body></html>\n"
        self.send_response(status)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def route(self):
        port = self.server.server_address[1]
        # Over TLS the links name the host the certificate is for.
        base = f"https://localhost:{port}" if self.server.tls else f"http://127.0.0.1:{port}"
        tampering = HOSTILE if self.server.hostile else NO_TAMPERING
        return answer(self.server.catalogue, urllib.parse.urlsplit(self.path).path, base, tampering)

    def log_message(self, *args):
        pass  # the request log file is the record; nothing goes to the console


class MallServer(ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, port, catalogue, log_path, stalled_reviews=0, stall_seconds=2.0,
                 tls=None, hostile=False, review_status=0):
        super().__init__(("127.0.0.1", port), MallHandler)
        self.review_status = review_status
        self.tls = tls
        self.hostile = hostile
        self.catalogue = catalogue
        self.stalled_reviews = stalled_reviews
        self.stall_seconds = stall_seconds
        self.stall_lock = threading.Lock()
        self.log = open(log_path, "a", encoding="utf-8")
        self.log_lock = threading.Lock()

    def take_stall(self):
        """True for each of the first stalled_reviews review requests."""
        with self.stall_lock:
            if self.stalled_reviews <= 0:
                return False
            self.stalled_reviews -= 1
            return True

    def finish_request(self, request, client_address):
        # The handshake runs in the request's own thread, so one slow client holds up no other.
        if self.tls is not None:
            request.settimeout(10)
            try:
                request = self.tls.wrap_socket(request, server_side=True)
            except (ssl.SSLError, OSError):
                return
        super().finish_request(request, client_address)

    def log_request_line(self, method, target, host, version):
        with self.log_lock:
            self.log.write(f"{method} {target} {host or '-'} {version}\n")
            self.log.flush()

    def handle_error(self, request, client_address):
        if not isinstance(sys.exc_info()[1], ConnectionError):
            super().handle_error(request, client_address)


def write_port_file(path, port):
    temporary = path + ".tmp"
    with open(temporary, "w") as f:
        f.write(f"{port}\n")
    os.replace(temporary, path)


def main():
    parser = argparse.ArgumentParser(description="Local stand-in for the mall's web hosts.")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--catalog", required=True)
    parser.add_argument("--log", required=True)
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--stall-reviews", type=int, default=0,
                        help="the first N review requests stall, then close without an answer")
    parser.add_argument("--stall-seconds", type=float, default=2.0)
    parser.add_argument("--review-status", type=int, default=0, help="every review page answers this status")
    parser.add_argument("--tls-cert", help="PEM certificate: serve HTTPS instead of HTTP")
    parser.add_argument("--tls-key", help="PEM key of --tls-cert")
    parser.add_argument("--hostile", action="store_true",
                        help="pages with script links, handlers and data: images (HOSTILE)")
    args = parser.parse_args()

    tls = None
    if args.tls_cert:
        tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        tls.load_cert_chain(args.tls_cert, args.tls_key)
    server = MallServer(args.port, Catalogue(args.catalog), args.log, args.stall_reviews,
                        args.stall_seconds, tls, args.hostile, args.review_status)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    write_port_file(args.port_file, server.server_address[1])
    try:
        server.serve_forever()
    finally:
        server.server_close()


if __name__ == "__main__":
    main()
