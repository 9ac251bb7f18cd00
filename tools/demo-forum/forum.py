#!/usr/bin/env python3
"""A small local forum with the page shapes Brevane works on.

Pages:
  /                      login page: three forms, the third holds a checked
                         checkbox and is submitted by the third button-like
                         element of the page (counting inputs first)
  /catalog/<id>.htm      board page: the second table lists the threads, newest
                         first, each row with the thread link, the author link
                         and the reply count in an em element
  /catalog/424005.htm    a board whose links are relative (to the server root
                         and to the page, the author link written with target
                         before href), as many forums write them
  /catalog/10150010.htm  a board page made of frames: an advertising frame
                         from the second origin (the same server reached as
                         localhost) holding a table of its own, then the
                         thread list in a frame of the board's origin; the
                         thread table is the page's second table only when
                         the advertising frame is counted
  /catalog/<id>/list.htm the thread list of a framed board
  /ad                    the advertising frame's page
  /thread/<n>            thread page: a design-mode editor frame and, as the
                         seventh button-like element, the submit control
  ?hang=1                on a board page: its thread links carry ?hang=1; on a
                         thread page: the page ends in a script that never
                         returns (a hostile page that stops answering)
  /editor                the editor frame's document (empty title)
  /announcement          announcement page (UTF-8) naming the banner picture
                         and the address a click on the banner opens
  /banner.gif            an animated banner picture
  /_received             JSON: logins, replies (with the time each arrived),
                         the request log and the threads (with the time
                         each was created)

New unanswered threads appear on every board every --new-thread-every
seconds (0: never).

Three options make the forum as unkind as a real one:
  --https            every page over HTTPS with the forum's own test
                     certificate (test-certificate.pem beside this script,
                     trusted by nobody unless told to); links and the
                     announcement name https addresses
  --latency-ms N     every request is answered N ms after it arrives
                     (/_received and /_spawn, the tests' own, at once)
  --late-editor      a thread page has no editor frame in its markup: after
                     its load event its script fetches the editor's
                     configuration, language and styles one after another,
                     then builds the design-mode frame; a reply sent before
                     then is posted empty, as a real editor's form posts it The second board (id 424022) starts with a thread whose
replies are held for moderation: its reply count stays 0, so a client sees it
unanswered again after replying.

Standard library only; listens on loopback. With --port 0 a free port is
chosen; the port is printed on the first line of standard output.
"""

import argparse
import html
import json
import os
import re
import ssl
import struct
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

MODERATED_BOARD = "424022"
RELATIVE_BOARD = "424005"
FRAMED_BOARD = "10150010"

HERE = os.path.dirname(os.path.abspath(__file__))
# The forum's test certificate and its key: made for this demo, trusted by
# no system; only a build told to accept it for 127.0.0.1 does.
CERTIFICATE = os.path.join(HERE, "test-certificate.pem")
KEY = os.path.join(HERE, "test-key.pem")


class Forum:
    def __init__(self, new_thread_every, latency_ms=0, late_editor=False):
        self.lock = threading.Lock()
        self.latency_ms = latency_ms
        self.late_editor = late_editor
        self.sleep = time.sleep
        self.boards = {}      # board id -> list of thread numbers, newest first
        self.threads = {}     # thread number -> dict
        self.next_thread = 1000
        self.replies = []
        self.logins = []
        self.requests = []
        self.started = time.time()
        self.new_thread_every = new_thread_every

    def _new_thread(self, board, replies=0, moderated=False, title=None):
        n = self.next_thread
        self.next_thread += 1
        self.threads[n] = {
            "board": board,
            "title": title or "新帖子 %d" % n,
            "author": "user%d" % (n % 17),
            "replies": replies,
            "moderated": moderated,
            "posts": [],
            "created": time.time(),
        }
        self.boards[board].insert(0, n)
        return n

    def board(self, board):
        """Thread numbers of a board, creating the board on first sight."""
        if board not in self.boards:
            self.boards[board] = []
            self._new_thread(board, replies=5, title="置顶: 版规")
            self._new_thread(board, replies=2)
            if board == MODERATED_BOARD:
                self._new_thread(board, moderated=True, title="审核中的帖子")
            else:
                self._new_thread(board)
        return list(self.boards[board])

    def spawn(self):
        with self.lock:
            for board in list(self.boards):
                self._new_thread(board)

    def reply(self, n, content):
        t = self.threads.get(n)
        if t is None:
            return False
        t["posts"].append(content)
        if not t["moderated"]:
            t["replies"] += 1
        self.replies.append({"thread": n, "board": t["board"], "content": content,
                             "time": time.time()})
        return True


FORUM = None


def gif_lzw(indices, min_code_size):
    """LZW-compresses palette indices into GIF sub-blocks."""
    clear = 1 << min_code_size
    end = clear + 1
    table = {bytes([i]): i for i in range(clear)}
    next_code = end + 1
    size = min_code_size + 1
    out = bytearray()
    acc = 0
    nbits = 0

    def emit(code):
        nonlocal acc, nbits
        acc |= code << nbits
        nbits += size
        while nbits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            nbits -= 8

    emit(clear)
    w = b""
    for i in indices:
        wc = w + bytes([i])
        if wc in table:
            w = wc
            continue
        emit(table[w])
        if next_code < 4096:
            table[wc] = next_code
            next_code += 1
            if next_code > (1 << size) and size < 12:
                size += 1
        else:
            emit(clear)
            table = {bytes([k]): k for k in range(clear)}
            next_code = end + 1
            size = min_code_size + 1
        w = bytes([i])
    if w:
        emit(table[w])
    emit(end)
    if nbits:
        out.append(acc & 0xFF)
    blocks = bytearray()
    for k in range(0, len(out), 255):
        chunk = out[k:k + 255]
        blocks.append(len(chunk))
        blocks += chunk
    blocks.append(0)
    return bytes(blocks)


def banner_gif(width=404, height=32, frames=4):
    """An animated banner: stripes that move across, four colours."""
    palette = [(255, 102, 0), (255, 204, 0), (255, 255, 255), (51, 102, 204)]
    data = bytearray(b"GIF89a")
    data += struct.pack("<HHBBB", width, height, 0xF1, 0, 0)  # global table of 4 colours
    for r, g, b in palette:
        data += bytes([r, g, b])
    data += b"\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00"  # loop for ever
    for f in range(frames):
        data += b"\x21\xF9\x04\x00" + struct.pack("<H", 25) + b"\x00\x00"  # 250 ms
        data += b"\x2C" + struct.pack("<HHHHB", 0, 0, width, height, 0)
        px = []
        for y in range(height):
            for x in range(width):
                if 10 <= y < 22 and 20 <= (x + f * 25) % 100 < 60:
                    px.append(3)
                else:
                    px.append(((x + f * 25) // 50) % 2)
        data.append(2)
        data += gif_lzw(px, 2)
    data += b"\x3B"
    return bytes(data)


BANNER = banner_gif()

LOGIN_PAGE = """<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>登录 - 演示论坛</title></head>
<body>
<h1>演示论坛 登录</h1>
<form action="/search" method="get" id="search">
  <input type="text" name="q"> <input type="submit" value="搜索">
</form>
<form action="/login" method="post" id="password">
  <input type="text" name="user"> <input type="password" name="password">
  <input type="submit" value="密码登录">
</form>
<form action="/login" method="post" id="quick">
  <input type="hidden" name="via" value="quick">
  <label><input type="checkbox" name="remember" checked> 旺旺已登录</label>
  <input type="submit" value="快速登录">
</form>
</body></html>
"""


# Ends a thread page whose script never returns: the page never finishes
# loading and its web process stops answering.
ENDLESS_SCRIPT = "<script>while (true) {}</script>"


def thread_rows(host, board, hang=False, scheme="http"):
    rows = []
    suffix = "?hang=1" if hang else ""
    with FORUM.lock:
        numbers = FORUM.board(board)
        for n in numbers:
            t = FORUM.threads[n]
            if board == RELATIVE_BOARD:
                rows.append(
                    "<tr><td><a href='/thread/%d%s' target=_blank>%s</a></td>"
                    "<td><a target=_blank href='../user/%s'>%s</a></td>"
                    "<td><em>%d</em></td></tr>"
                    % (n, suffix, html.escape(t["title"]), t["author"], t["author"], t["replies"]))
            else:
                rows.append(
                    "<tr><td><a href='%s://%s/thread/%d%s' target=_blank>%s</a></td>"
                    "<td><a href='%s://%s/user/%s' target=_blank>%s</a></td>"
                    "<td><em>%d</em></td></tr>"
                    % (scheme, host, n, suffix, html.escape(t["title"]), scheme, host, t["author"],
                       t["author"], t["replies"]))
    return rows


def framed_board_page(port, board, scheme="http"):
    """The board as two frames: the advertisement from the other origin,
    then the thread list from this one."""
    return """<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>版块 %s - 演示论坛</title></head>
<body>
<iframe src="%s://localhost:%d/ad" width="468" height="60" scrolling="no"></iframe>
<iframe src="/catalog/%s/list.htm" width="760" height="400"></iframe>
</body></html>
""" % (board, scheme, port, board)


def board_list_page(host, board, scheme="http"):
    return """<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>帖子列表</title></head>
<body>
<table id="threads">
<tr><th>标题</th><th>作者</th><th>回复</th></tr>
%s
</table>
</body></html>
""" % "\n".join(thread_rows(host, board, scheme=scheme))


AD_PAGE = """<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>广告</title></head>
<body style="margin:0">
<table id="ad"><tr><td><a href="/" target="_top"><img src="/banner.gif" alt="广告"></a></td></tr></table>
</body></html>
"""


def board_page(host, board, hang=False, scheme="http"):
    rows = thread_rows(host, board, hang, scheme)
    return """<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>版块 %s - 演示论坛</title></head>
<body>
<table id="nav"><tr><td><a href="/">首页</a></td><td>版块 %s</td></tr></table>
<table id="threads">
<tr><th>标题</th><th>作者</th><th>回复</th></tr>
%s
</table>
</body></html>
""" % (board, board, "\n".join(rows))


# A late editor as widely used rich-text editors load: after the page's load
# event, its configuration, language and styles one request after another,
# then the editor frame built from script (an empty document written into
# it, design mode on). The reply form's hook posts whatever the frame holds,
# and nothing when there is no frame yet.
LATE_EDITOR_SCRIPT = """<script>
function submitReply() {
  var frame = document.getElementById('editor');
  document.getElementById('content').value = frame ? frame.contentWindow.document.body.innerHTML : '';
  document.getElementById('replyform').submit();
}
window.addEventListener('load', function () {
  var parts = ['/editor/config.js', '/editor/lang/zh-cn.js', '/editor/skin.css'];
  function next(i) {
    if (i == parts.length) return build();
    var part;
    if (/\\.css$/.test(parts[i])) {
      part = document.createElement('link');
      part.rel = 'stylesheet';
      part.href = parts[i];
    } else {
      part = document.createElement('script');
      part.src = parts[i];
    }
    part.onload = part.onerror = function () { next(i + 1); };
    document.head.appendChild(part);
  }
  function build() {
    var frame = document.createElement('iframe');
    frame.id = 'editor';
    frame.className = 'editor';
    document.getElementById('editor-place').appendChild(frame);
    var doc = frame.contentWindow.document;
    doc.open();
    doc.write('<!DOCTYPE html><html><head><meta charset="utf-8"></head><body></body></html>');
    doc.close();
    doc.designMode = 'on';
  }
  next(0);
});
</script>"""

EDITOR_PARTS = {
    "/editor/config.js": ("window.editorConfig = {toolbar: 'basic', height: 120};", "text/javascript"),
    "/editor/lang/zh-cn.js": ("window.editorLang = {bold: '粗体', italic: '斜体'};",
                              "text/javascript; charset=utf-8"),
    "/editor/skin.css": (".editor { width: 600px; height: 120px; border: 1px solid #999 }", "text/css"),
}


def thread_page(n, hang=False, late_editor=False):
    with FORUM.lock:
        t = FORUM.threads.get(n)
        if t is None:
            return None
        posts = "".join("<div class='post'>%s</div>" % p for p in t["posts"])
        title = html.escape(t["title"])
    toolbar = "".join('<input type="button" value="%s" onclick="">' % v
                      for v in ("B", "I", "U", "链接", "图片", "表情"))
    script = LATE_EDITOR_SCRIPT if late_editor else """<script>
function submitReply() {
  var doc = document.getElementById('editor').contentWindow.document;
  document.getElementById('content').value = doc.body.innerHTML;
  document.getElementById('replyform').submit();
}
</script>"""
    editor = ('<div id="editor-place"></div>' if late_editor else
              '<iframe id="editor" src="/editor" style="width:600px;height:120px;border:1px solid #999"></iframe>')
    return """<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>%s - 演示论坛</title>
%s</head>
<body>
<h1>%s</h1>
<div id="posts">%s</div>
<form id="replyform" action="/thread/%d/reply" method="post">
  <input type="hidden" id="content" name="content" value="">
  <div>%s</div>
  %s
  <div><button type="button" onclick="submitReply()">发表回复</button></div>
</form>
%s</body></html>
""" % (title, script, title, posts, n, toolbar, editor, ENDLESS_SCRIPT if hang else "")


EDITOR_PAGE = """<!DOCTYPE html>
<html><head><meta charset="utf-8"></head>
<body></body>
<script>document.designMode = 'on';</script>
</html>
"""


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, fmt, *args):  # quiet; the request log is in /_received
        pass

    def _log(self):
        with FORUM.lock:
            FORUM.requests.append({"time": time.time(), "method": self.command, "path": self.path})

    def _send(self, code, body, ctype="text/html; charset=utf-8", extra=None):
        if isinstance(body, str):
            body = body.encode("utf-8")
        self.send_response(code)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store")
        for k, v in (extra or {}).items():
            self.send_header(k, v)
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def _host(self):
        return "%s:%d" % self.server.server_address[:2]

    def _scheme(self):
        return "https" if isinstance(self.connection, ssl.SSLSocket) else "http"

    def _wait(self, path):
        """A slow network: the answer leaves --latency-ms after the request
        (the tests' own addresses at once)."""
        if FORUM.latency_ms > 0 and not path.startswith("/_"):
            FORUM.sleep(FORUM.latency_ms / 1000.0)

    def do_HEAD(self):
        self.do_GET()

    def do_GET(self):
        self._log()
        parts = urllib.parse.urlsplit(self.path)
        path = parts.path
        hang = urllib.parse.parse_qs(parts.query).get("hang") == ["1"]
        scheme = self._scheme()
        self._wait(path)
        m = re.fullmatch(r"/catalog/(\d+)\.htm", path)
        if path == "/":
            return self._send(200, LOGIN_PAGE)
        if m and m.group(1) == FRAMED_BOARD:
            return self._send(200, framed_board_page(self.server.server_address[1], m.group(1), scheme))
        if m:
            return self._send(200, board_page(self._host(), m.group(1), hang, scheme))
        m = re.fullmatch(r"/catalog/(\d+)/list\.htm", path)
        if m:
            return self._send(200, board_list_page(self._host(), m.group(1), scheme))
        if path == "/ad":
            return self._send(200, AD_PAGE)
        m = re.fullmatch(r"/thread/(\d+)", path)
        if m:
            page = thread_page(int(m.group(1)), hang, FORUM.late_editor)
            return self._send(200, page) if page else self._send(404, "no such thread")
        if path == "/editor":
            return self._send(200, EDITOR_PAGE)
        if path in EDITOR_PARTS:
            return self._send(200, *EDITOR_PARTS[path])
        if path == "/announcement":
            host = self._host()
            text = ("<p>欢迎使用演示论坛公告</p>\r\n图片网址%s://%s/banner.gif-\r\n"
                    "点击地址%s://%s/-\r\n" % (scheme, host, scheme, host))
            return self._send(200, text, "text/plain; charset=utf-8")
        if path == "/banner.gif":
            return self._send(200, BANNER, "image/gif")
        if path == "/_received":
            with FORUM.lock:
                body = json.dumps({"logins": FORUM.logins, "replies": FORUM.replies,
                                   "requests": FORUM.requests,
                                   "threads": {str(k): {"board": v["board"], "replies": v["replies"],
                                                        "created": v["created"]}
                                               for k, v in FORUM.threads.items()}},
                                  ensure_ascii=False)
            return self._send(200, body, "application/json; charset=utf-8")
        if path == "/_spawn":
            FORUM.spawn()
            return self._send(200, "ok", "text/plain")
        if path == "/msgrd":
            return self._send(200, "<html><head><title>联系客服</title></head><body>客服聊天(演示)</body></html>")
        if path.startswith("/user/") or path == "/search" or path == "/welcome":
            return self._send(200, "<html><head><title>演示论坛</title></head><body>演示</body></html>")
        return self._send(404, "<html><body>not found</body></html>")

    def _form(self):
        length = int(self.headers.get("Content-Length") or 0)
        if length < 0 or length > 1 << 20:
            return None
        raw = self.rfile.read(length)
        ctype = self.headers.get("Content-Type", "")
        charset = "utf-8"
        m = re.search(r"charset=([\w-]+)", ctype)
        if m:
            charset = m.group(1)
        try:
            return urllib.parse.parse_qs(raw.decode("ascii", "replace"), keep_blank_values=True,
                                         encoding=charset, errors="replace")
        except LookupError:
            return urllib.parse.parse_qs(raw.decode("ascii", "replace"), keep_blank_values=True)

    def do_POST(self):
        self._log()
        path = urllib.parse.urlsplit(self.path).path
        self._wait(path)
        form = self._form()
        if form is None:
            return self._send(413, "too large")
        if path == "/login":
            with FORUM.lock:
                FORUM.logins.append({"time": time.time(), "fields": {k: v[0] for k, v in form.items()}})
            return self._send(303, "", extra={"Location": "/welcome"})
        m = re.fullmatch(r"/thread/(\d+)/reply", path)
        if m:
            content = form.get("content", [""])[0]
            with FORUM.lock:
                ok = FORUM.reply(int(m.group(1)), content)
            if not ok:
                return self._send(404, "no such thread")
            return self._send(303, "", extra={"Location": "/thread/%s" % m.group(1)})
        return self._send(404, "not found")


class TlsServer(ThreadingHTTPServer):
    """The forum over TLS. Each connection's handshake runs on its own
    thread, so a client that stalls or refuses the certificate holds up no
    other; a refusal is expected (a browser that does not trust the test
    certificate) and is not reported."""

    def __init__(self, address, handler, certificate=CERTIFICATE, key=KEY):
        self.context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        self.context.load_cert_chain(certificate, key)
        super().__init__(address, handler)

    def get_request(self):
        sock, address = super().get_request()
        return self.context.wrap_socket(sock, server_side=True, do_handshake_on_connect=False), address

    def finish_request(self, request, client_address):
        request.settimeout(10)
        try:
            request.do_handshake()
        except (ssl.SSLError, OSError):
            return
        request.settimeout(None)
        super().finish_request(request, client_address)

    def handle_error(self, request, client_address):
        if not isinstance(sys.exc_info()[1], (ssl.SSLError, ConnectionError)):
            super().handle_error(request, client_address)


def make_server(port, https=False):
    server = (TlsServer if https else ThreadingHTTPServer)(("127.0.0.1", port), Handler)
    server.daemon_threads = True
    return server


def main():
    global FORUM
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--port", type=int, default=0, help="port on 127.0.0.1 (0: a free one)")
    ap.add_argument("--new-thread-every", type=float, default=30.0,
                    help="seconds between new unanswered threads on every board (0: never)")
    ap.add_argument("--https", action="store_true", help="serve over HTTPS with the test certificate")
    ap.add_argument("--latency-ms", type=int, default=0, help="answer every request this late (ms)")
    ap.add_argument("--late-editor", action="store_true",
                    help="thread pages build their editor frame from script after loading its parts")
    args = ap.parse_args()
    FORUM = Forum(args.new_thread_every, max(0, args.latency_ms), args.late_editor)
    server = make_server(args.port, args.https)
    print(server.server_address[1], flush=True)
    if args.new_thread_every > 0:
        def spawner():
            while True:
                time.sleep(args.new_thread_every)
                FORUM.spawn()
        threading.Thread(target=spawner, daemon=True).start()
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
