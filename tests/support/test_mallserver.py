"""The local mall: pages, markers, encodings and the request log, over real loopback HTTP."""

import http.client
import json
import os
import socket
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.error
import urllib.parse
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
SERVER = os.path.join(HERE, "mallserver.py")
E2E_DATA = os.path.join(HERE, "..", "e2e", "data")

CATALOGUE = {
    "shop": "花屋",
    "items": [
        {"code": "ab-12", "name": "薔薇の花束 (赤)", "thumb": "64x64",
         "reviews": {"encoding": "EUC-JP", "average": "4.5", "count": 12}},
        {"code": "vase", "name": "花瓶 A/B-C.D", "thumb": "96x96", "by_code": False,
         "reviews": {"encoding": "Shift_JIS", "average": "3.0", "count": 1}},
        {"code": "card-7", "name": "メッセージカード", "thumb": "112x112"},
    ],
}


class RunningMall:
    """The server as a separate process on a free port, as the end-to-end tests run it."""

    def __init__(self, catalogue):
        self.folder = tempfile.TemporaryDirectory()
        self.log = os.path.join(self.folder.name, "requests.log")
        port_file = os.path.join(self.folder.name, "port")
        catalogue_file = os.path.join(self.folder.name, "catalog.json")
        with open(catalogue_file, "w", encoding="utf-8") as f:
            json.dump(catalogue, f, ensure_ascii=False)
        self.process = subprocess.Popen(
            [sys.executable, SERVER, "--port", "0", "--catalog", catalogue_file,
             "--log", self.log, "--port-file", port_file],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        deadline = time.monotonic() + 20
        while not os.path.exists(port_file):
            if self.process.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError("mall server did not start: "
                                   + self.process.stderr.read().decode(errors="replace"))
            time.sleep(0.05)
        with open(port_file) as f:
            self.port = int(f.read())
        self.base = f"http://127.0.0.1:{self.port}"

    def stop(self):
        self.process.terminate()
        out, err = self.process.communicate(timeout=20)
        self.folder.cleanup()
        return self.process.returncode, out, err

    def get(self, path):
        try:
            with urllib.request.urlopen(self.base + path, timeout=20) as answer:
                return answer.status, answer.headers, answer.read()
        except urllib.error.HTTPError as error:
            return error.code, error.headers, error.read()

    def log_lines(self):
        with open(self.log, encoding="utf-8") as f:
            return f.read().splitlines()


def search_path(shop, keyword):
    """The address the program asks for: both texts as UTF-8, blanks as "+", joined by "+"."""
    def encode(text):
        return urllib.parse.quote_plus(text.encode("utf-8"), safe="!$'()*-.@_")
    return f"/search/mall/{encode(shop)}+{encode(keyword)}/?f=0"


def text_between(text, start, stop):
    begin = text.find(start)
    if begin < 0:
        return "Error"
    begin += len(start)
    end = text.find(stop, begin)
    return "Error" if end < 0 else text[begin:end]


def first_result(page):
    """The lines from the one holding the first result on, joined with CR LF as the program
    holds them."""
    lines = page.splitlines()
    start = next(i for i, line in enumerate(lines) if 'itemPosition="1"' in line)
    return "".join(line + "\r\n" for line in lines[start:])


class MallServerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.mall = RunningMall(CATALOGUE)

    @classmethod
    def tearDownClass(cls):
        cls.mall.stop()

    def search(self, keyword, shop=" 花屋"):
        status, headers, body = self.mall.get(search_path(shop, keyword))
        self.assertEqual(status, 200)
        self.assertEqual(headers.get_content_charset(), "utf-8")
        return body.decode("utf-8")

    def test_search_by_code_gives_photo_link_and_review_address_of_first_result(self):
        page = self.search("ab\u201512")
        self.assertLess(page.index('itemPosition="1"'), page.index('itemPosition="2"'))
        text = first_result(page)
        photo = text_between(text, '<div class="rsrSResultPhoto">', "</div>")
        self.assertIn("\t", photo)  # spread over lines and indented, as the mall's pages are
        link = text_between(photo.replace("\r\n", "").replace("\t", ""), '<a href="', "</a>")
        base = self.mall.base
        self.assertEqual(link, f'{base}/item/ab-12/"><img alt="薔薇の花束 (赤)" '
                               f'src="{base}/@0_mall/shop/cabinet/ab-12.jpg?_ex=64x64" border="0">')
        review_line = text[text.index('<span class="txtIconReview">'):]
        self.assertNotIn('itemPosition="2"', text[:text.index('<span class="txtIconReview">')])
        self.assertEqual(text_between(review_line, '<a href="', '">'), f"{base}/review/ab-12/")

    def test_code_search_needs_the_full_width_bar_for_a_hyphen(self):
        self.assertNotIn('itemPosition="1"', self.search("ab-12"))

    def test_item_found_by_name_only(self):
        self.assertNotIn('itemPosition="1"', self.search("vase"))
        # Blanks, "/", "-" and "." arrive in their full-width forms, the name ends with a blank.
        page = self.search("花瓶\u3000A／B―C．D\u3000")
        text = first_result(page)
        self.assertIn("/@0_mall/shop/cabinet/vase.jpg?_ex=96x96", text_between(
            text, '<div class="rsrSResultPhoto">', "</div>"))

    def test_no_hit_for_unknown_keyword_or_other_shop(self):
        for shop, keyword in ((" 花屋", "zz\u20159"), ("八百屋", "ab\u201512"), ("", "ab\u201512")):
            page = self.search(keyword, shop)
            self.assertNotIn("itemPosition=", page, (shop, keyword))
            self.assertIn("<html", page)

    def test_review_icon_of_a_later_result_comes_after_the_second_position(self):
        page = self.search("card\u20157")
        self.assertIn("?_ex=112x112", text_between(page, '<div class="rsrSResultPhoto">', "</div>"))
        self.assertLess(page.index('itemPosition="2"'), page.index('<span class="txtIconReview">'))

    def test_review_pages_in_their_own_encodings(self):
        for code, codec, charset, average, count in (("ab-12", "euc_jp", "euc-jp", "4.5", "12"),
                                                     ("vase", "cp932", "shift_jis", "3.0", "1")):
            status, headers, body = self.mall.get(f"/review/{code}/")
            self.assertEqual(status, 200)
            self.assertEqual(headers.get_content_charset(), charset)
            self.assertIn("総合評価".encode(codec), body)
            block = text_between(body.decode(codec), "総合評価", "件")
            stars = text_between(block, '<span class="revEvaStar">', "</span>")
            self.assertIn('width="26" height="24"', stars)
            self.assertIn(f'{self.mall.base}/@0_mall/', stars)
            self.assertEqual(text_between(block, '<span class="revEvaNumber average">', "</span>"),
                             average)
            self.assertEqual(text_between(block, '<span class="Count">', "</span>"), count)

    def test_review_page_missing_for_item_without_reviews_or_unknown_code(self):
        for path in ("/review/card-7/", "/review/nothing/", "/elsewhere"):
            self.assertEqual(self.mall.get(path)[0], 404, path)

    def test_script_and_placeholder_images(self):
        status, headers, body = self.mall.get("/com/js/d/common/jquery-1.4.2.min.js")
        self.assertEqual((status, headers["Content-Type"]), (200, "application/javascript"))
        self.assertEqual(int(headers["Content-Length"]), len(body))
        for path in ("/@0_mall/shop/cabinet/ab-12.jpg?_ex=64x64",
                     "/@0_mall/com/css/c/pc/img/nopicture/nopicture.gif?_ex=48x48"):
            status, headers, body = self.mall.get(path)
            self.assertEqual(status, 200)
            self.assertTrue(body.startswith(b"GIF89a") and body.endswith(b";"), path)

    def test_http_1_0_request_without_host_is_answered_and_closed(self):
        with socket.create_connection(("127.0.0.1", self.mall.port), timeout=20) as conn:
            conn.sendall(b"GET /review/ab-12/ HTTP/1.0\r\n\r\n")
            answer = b""
            while chunk := conn.recv(4096):
                answer += chunk  # the server closes after one answer
        head, _, body = answer.partition(b"\r\n\r\n")
        self.assertTrue(head.startswith(b"HTTP/1.1 200"), head)
        length = next(int(line.split(b":")[1]) for line in head.split(b"\r\n")
                      if line.lower().startswith(b"content-length:"))
        self.assertEqual(length, len(body))
        self.assertEqual(self.mall.log_lines()[-1], "GET /review/ab-12/ - HTTP/1.0")

    def test_http_1_1_connection_is_kept_for_further_requests(self):
        conn = http.client.HTTPConnection("127.0.0.1", self.mall.port, timeout=20)
        try:
            for path in ("/review/ab-12/", "/com/js/d/common/jquery-1.4.2.min.js"):
                conn.request("GET", path)
                answer = conn.getresponse()
                self.assertEqual(answer.status, 200)
                answer.read()
            self.assertIsNotNone(conn.sock)
        finally:
            conn.close()

    def test_log_holds_every_request_with_its_host(self):
        path = search_path(" 花屋", "ab\u201512")
        before = len(self.mall.log_lines())
        self.mall.get(path)
        self.mall.get("/@0_mall/x.gif")
        self.assertEqual(self.mall.log_lines()[before:], [
            f"GET {path} 127.0.0.1:{self.mall.port} HTTP/1.1",
            f"GET /@0_mall/x.gif 127.0.0.1:{self.mall.port} HTTP/1.1",
        ])


class MallLifecycleTest(unittest.TestCase):
    def test_terminate_ends_the_server_quietly(self):
        mall = RunningMall(CATALOGUE)
        self.assertEqual(mall.get("/com/js/d/common/jquery-1.4.2.min.js")[0], 200)
        code, out, err = mall.stop()
        self.assertEqual((code, out, err), (0, b"", b""))


class SampleCatalogueTest(unittest.TestCase):
    """The sample orders meet the sample catalogue in every way the lookups can go."""

    def test_sample_items_are_found_by_code_by_name_or_not_at_all(self):
        with open(os.path.join(E2E_DATA, "catalog.json"), encoding="utf-8") as f:
            catalogue = json.load(f)
        mall = RunningMall(catalogue)
        outcomes = set()
        try:
            for name in sorted(os.listdir(E2E_DATA)):
                if not name.startswith("order-"):
                    continue
                with open(os.path.join(E2E_DATA, name), encoding="utf-8") as f:
                    order = json.load(f)
                shop = " " + order["shop"]
                for item in order["items"]:
                    code = item["code"].replace("-", "\u2015")
                    keyword = (item["name"].replace("\n", "").replace(" ", "\u3000") + "\u3000")
                    for ascii_form, wide in (("/", "／"), ("-", "―"), (".", "．")):
                        keyword = keyword.replace(ascii_form, wide)
                    hit = lambda k: 'itemPosition="1"' in mall.get(search_path(shop, k))[2].decode()
                    outcomes.add("code" if hit(code) else "name" if hit(keyword) else "none")
        finally:
            mall.stop()
        self.assertEqual(outcomes, {"code", "name", "none"})
        items = catalogue["items"]
        self.assertTrue({"64x64", "96x96", "112x112"} <= {item["thumb"] for item in items})
        self.assertEqual({item["reviews"]["encoding"] for item in items if "reviews" in item},
                         {"EUC-JP", "Shift_JIS"})


if __name__ == "__main__":
    unittest.main()
