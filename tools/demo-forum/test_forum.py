#!/usr/bin/env python3
"""Checks that the demo forum's pages have the shapes the program relies on:
the detection's cut on a board page yields the thread address, the third
button-like element of the login page submits the form holding the checked
box, the seventh of a thread page is the submit control, and a posted reply
is recorded and raises the reply count (except on the moderated thread);
over HTTPS, with latency and a late editor, the same shapes, a certificate
checked by every client that was not given it, and a thread page whose
editor frame its script builds."""

import json
import os
import re
import ssl
import sys
import threading
import unittest
import urllib.error
import urllib.parse
import urllib.request
from html.parser import HTMLParser
from http.server import ThreadingHTTPServer

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import forum  # noqa: E402

BUTTON_TYPES = "button|submit|reset"


def find(text, needle, start=1):
    i = text.find(needle, start - 1)
    return -1 if i < 0 else i + 1


def find_backward(text, needle, before):
    """Last occurrence ending before position `before` (1-based), as the
    program's backward search counts."""
    if before < 1:
        return -1
    i = text.rfind(needle, 0, before - 1)
    return -1 if i < 0 else i + 1


def mid(text, start, length):
    if start < 1 or length < 1:
        return ""
    return text[start - 1:start - 1 + length]


def detect(table_html, starts=("http://",)):
    """The cut on a board's table; starts: the address starts searched
    backward, the nearer one taken at each search."""
    def address_before(before):
        return max(find_backward(table_html, s, before) for s in starts)
    m = find(table_html, "<EM>0</EM>")
    if m == -1:
        return None
    h1 = address_before(m)
    h2 = address_before(h1)
    t1 = find_backward(table_html, "target", m)
    t2 = find_backward(table_html, "target", t1)
    return mid(table_html, h2, t2 - h2 - 2)


class Elements(HTMLParser):
    def __init__(self):
        super().__init__()
        self.inputs, self.buttons, self.forms, self.tables = [], [], [], []
        self.form = 0
        self.depth_table = 0
        self.raw = []

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if tag == "form":
            self.form += 1
            self.forms.append(a)
        if tag == "input":
            self.inputs.append((a, self.form))
        if tag == "button":
            self.buttons.append((a, self.form))


def button_like(parser):
    def qualifies(a, default):
        return (a.get("type") or default) in BUTTON_TYPES
    return ([(a, f) for a, f in parser.inputs if qualifies(a, "text")] +
            [(a, f) for a, f in parser.buttons if qualifies(a, "submit")])


def second_table_ie_style(page):
    """The second table with em tags upper-cased, as the browser serialises it."""
    start = page.find("<table", page.find("<table") + 1)
    end = page.find("</table>", start) + len("</table>")
    return page[start:end].replace("<em>", "<EM>").replace("</em>", "</EM>")


def ie_links(table_html, page_url):
    """Links as Internet Explorer serialises them: the address absolute and
    double-quoted, written before the target."""
    def rewrite(m):
        attrs = re.findall(r"""(\w+)=('[^']*'|"[^"]*"|[^\s>]+)""", m.group(1))
        values = {k.lower(): v.strip("'\"") for k, v in attrs}
        out = '<A href="%s"' % urllib.parse.urljoin(page_url, values.pop("href", ""))
        return out + "".join(" %s=%s" % kv for kv in values.items()) + ">"
    return re.sub(r"<a\s([^>]*)>", rewrite, table_html)


def tables(page):
    return re.findall(r"<table.*?</table>", page, re.S)


def frame_sources(page):
    return re.findall(r'<iframe src="([^"]+)"', page)


class ForumTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        forum.FORUM = forum.Forum(0)
        cls.server = ThreadingHTTPServer(("127.0.0.1", 0), forum.Handler)
        cls.base = "http://127.0.0.1:%d" % cls.server.server_address[1]
        threading.Thread(target=cls.server.serve_forever, daemon=True).start()

    @classmethod
    def tearDownClass(cls):
        cls.server.shutdown()

    def get(self, path):
        with urllib.request.urlopen(self.base + path) as r:
            return r.read().decode("utf-8")

    def post(self, path, data):
        req = urllib.request.Request(self.base + path, data=data.encode("ascii"), method="POST")
        with urllib.request.urlopen(req) as r:
            return r.status

    def test_detection_cuts_the_first_unanswered_thread_address(self):
        page = self.get("/catalog/424021.htm?spm=0.0.0.0.g6QCdH")
        url = detect(second_table_ie_style(page))
        self.assertRegex(url, r"^http://127\.0\.0\.1:\d+/thread/\d+$")
        received = json.loads(self.get("/_received"))
        self.assertEqual(received["threads"][url.rsplit("/", 1)[1]]["replies"], 0)

    def test_login_page_third_button_submits_the_checked_form(self):
        p = Elements()
        p.feed(self.get("/"))
        self.assertEqual(len(p.forms), 3)
        third = button_like(p)[2]
        self.assertEqual(third[1], 3)
        self.assertTrue(any(a.get("type") == "checkbox" and "checked" in a
                            for a, f in p.inputs if f == 3))

    def test_thread_page_seventh_button_is_the_submit_control_and_a_reply_counts(self):
        page = self.get("/catalog/424015.htm")
        url = detect(second_table_ie_style(page))
        n = url.rsplit("/", 1)[1]
        p = Elements()
        p.feed(self.get("/thread/" + n))
        seventh = button_like(p)[6]
        self.assertIn("submitReply", seventh[0].get("onclick", ""))
        self.assertEqual(self.post("/thread/%s/reply" % n, "content=%3Cb%3Ehi%3C%2Fb%3E"), 200)
        received = json.loads(self.get("/_received"))
        self.assertEqual(received["replies"][-1]["content"], "<b>hi</b>")
        self.assertEqual(received["threads"][n]["replies"], 1)
        self.assertNotEqual(detect(second_table_ie_style(self.get("/catalog/424015.htm"))), url)

    def test_hang_switch_leads_from_the_board_to_a_thread_page_that_never_returns(self):
        url = detect(second_table_ie_style(self.get("/catalog/424015.htm?hang=1")))
        self.assertRegex(url, r"^http://127\.0\.0\.1:\d+/thread/\d+\?hang=1$")
        path = url.split("/", 3)[3]
        self.assertIn(forum.ENDLESS_SCRIPT, self.get("/" + path))
        self.assertNotIn(forum.ENDLESS_SCRIPT, self.get("/" + path.split("?")[0]))
        self.assertNotIn("hang", self.get("/catalog/424015.htm"))

    def test_moderated_thread_stays_unanswered_and_new_threads_appear(self):
        url = detect(second_table_ie_style(self.get("/catalog/424022.htm")))
        n = url.rsplit("/", 1)[1]
        self.post("/thread/%s/reply" % n, "content=x")
        self.assertEqual(detect(second_table_ie_style(self.get("/catalog/424022.htm"))), url)
        self.get("/_spawn")
        self.assertNotEqual(detect(second_table_ie_style(self.get("/catalog/424022.htm"))), url)

    def test_relative_board_is_answered_once_links_read_as_absolute(self):
        path = "/catalog/%s.htm" % forum.RELATIVE_BOARD
        table = second_table_ie_style(self.get(path))
        # As written, the cut yields no thread address.
        self.assertNotRegex(detect(table), r"^http://")
        url = detect(ie_links(table, self.base + path))
        self.assertRegex(url, r"^http://127\.0\.0\.1:\d+/thread/\d+$")
        received = json.loads(self.get("/_received"))
        self.assertEqual(received["threads"][url.rsplit("/", 1)[1]]["replies"], 0)

    def test_framed_board_threads_are_the_second_table_with_the_advertising_frame(self):
        path = "/catalog/%s.htm" % forum.FRAMED_BOARD
        top = self.get(path)
        self.assertEqual(tables(top), [])
        ad, threads = frame_sources(top)
        ad_url = urllib.parse.urlsplit(ad)
        own = urllib.parse.urlsplit(self.base)
        # The advertising frame comes first and from another origin: the
        # same server under another host name.
        self.assertEqual(ad_url.port, own.port)
        self.assertNotEqual(ad_url.hostname, own.hostname)
        with urllib.request.urlopen(ad) as r:
            self.assertEqual(len(tables(r.read().decode("utf-8"))), 1)
        listed = tables(self.get(threads))
        self.assertEqual(len(listed), 1)
        table = listed[0].replace("<em>", "<EM>").replace("</em>", "</EM>")
        self.assertRegex(detect(table), r"^http://127\.0\.0\.1:\d+/thread/\d+$")

    def test_announcement_names_a_banner_it_serves(self):
        text = self.get("/announcement")
        start = text.index("图片网址") + 4
        picture = text[start:text.index("-", start)]
        with urllib.request.urlopen(picture) as r:
            self.assertEqual(r.read(6), b"GIF89a")
        self.assertIn("点击地址", text)


class UnkindForumTest(unittest.TestCase):
    """--https --latency-ms 200 --late-editor."""

    @classmethod
    def setUpClass(cls):
        forum.FORUM = forum.Forum(0, latency_ms=200, late_editor=True)
        cls.slept = []
        forum.FORUM.sleep = cls.slept.append
        cls.server = forum.make_server(0, https=True)
        cls.base = "https://127.0.0.1:%d" % cls.server.server_address[1]
        cls.trusting = ssl.create_default_context(cafile=forum.CERTIFICATE)
        threading.Thread(target=cls.server.serve_forever, daemon=True).start()

    @classmethod
    def tearDownClass(cls):
        cls.server.shutdown()

    def get(self, path):
        with urllib.request.urlopen(self.base + path, context=self.trusting) as r:
            return r.read().decode("utf-8")

    def test_https_board_gives_https_thread_addresses_and_the_certificate_is_checked(self):
        table = second_table_ie_style(self.get("/catalog/424021.htm"))
        self.assertIsNone(re.search(r"http://", table))
        url = detect(table, ("http://", "https://"))
        self.assertRegex(url, r"^https://127\.0\.0\.1:\d+/thread/\d+$")
        self.assertIn("图片网址https://127.0.0.1:", self.get("/announcement"))
        # A client that was not given the test certificate refuses the forum.
        with self.assertRaises(urllib.error.URLError) as refused:
            urllib.request.urlopen(self.base + "/", context=ssl.create_default_context())
        self.assertIsInstance(refused.exception.reason, ssl.SSLCertVerificationError)

    def test_late_editor_is_built_by_script_after_its_parts(self):
        self.slept.clear()
        n = detect(second_table_ie_style(self.get("/catalog/424015.htm")), ("https://",)).rsplit("/", 1)[1]
        page = self.get("/thread/" + n)
        self.assertEqual(frame_sources(page), [])
        self.assertNotIn('id="editor"', page.split("<script>")[0] + page.split("</script>")[-1])
        p = Elements()
        p.feed(page)
        self.assertIn("submitReply", button_like(p)[6][0].get("onclick", ""))
        parts = re.findall(r"'(/editor/[^']+)'", page)
        self.assertEqual(parts, list(forum.EDITOR_PARTS))
        for part in parts:
            self.get(part)
        # Every page and part came 200 ms late; the tests' own address at once.
        self.get("/_received")
        self.assertEqual(self.slept, [0.2] * (2 + len(parts)))


if __name__ == "__main__":
    unittest.main()
