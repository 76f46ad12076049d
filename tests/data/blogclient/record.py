#!/usr/bin/env python3
"""record.py - record the WordPress peer's answers that the blogclient unit tests read.

Every answer in this folder is the exact HTTP body that the WordPress peer
($QUILL_SHARED_DIR/peers/wordpress, started with its start.sh) sent to a request made
here; requests/<name>.xml holds the request that produced <name>.xml. The unit
tests (tests/blogclient/AnswerReadersTest.cpp) read them and assert on the
values they hold, so after recording anew look at `git diff` and adjust the
tests where a value changed (post ids, the upload month).

The two *.empty.xml answers need an empty blog: pass --reset to empty it first
with the peer's reset.sh (only on a peer nobody else is using at that moment:
it deletes every post), or they are left as they are. Everything this script
creates is deleted again at the end.

Python 3 standard library only:

  python3 tests/data/blogclient/record.py [--reset] [--url http://127.0.0.1:8080/xmlrpc.php]
"""
import argparse
import base64
import http.client
import os
import struct
import subprocess
import sys
import urllib.parse
import xmlrpc.client
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
ADMIN, ADMIN_PW = "admin", "quill-pass-1"
APPKEY = "0123456789ABCDEF"

ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
ap.add_argument("--url", default="http://127.0.0.1:8080/xmlrpc.php")
ap.add_argument("--reset", action="store_true", help="empty the blog first with the peer's reset.sh")
SHARED = os.environ.get("QUILL_SHARED_DIR")
ap.add_argument("--peer", default=os.environ.get(
    "QUILL_WP_PEER", os.path.join(SHARED, "peers/wordpress") if SHARED else None),
    help="the peer's folder (for --reset; default $QUILL_SHARED_DIR/peers/wordpress)")
ARGS = ap.parse_args()
URL = urllib.parse.urlsplit(ARGS.url)


def post(body):
    c = http.client.HTTPConnection(URL.hostname, URL.port or 80, timeout=60)
    try:
        c.request("POST", URL.path, body, {"Content-Type": "text/xml", "User-Agent": "quill-record/1"})
        r = c.getresponse()
        return r.status, r.read()
    finally:
        c.close()


def save(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


def call(method, *params, sample=None, fault=False):
    """The value of METHOD's answer; sample=NAME saves request and answer as NAME.xml.
    fault=True: the answer must be a fault (returned); None: either is fine."""
    req = xmlrpc.client.dumps(params, method, encoding="utf-8").encode("utf-8")
    status, body = post(req)
    if status != 200:
        sys.exit(f"{method}: HTTP {status}: {body[:200]!r}")
    if sample:
        save(sample + ".xml", body)
        save(os.path.join("requests", sample + ".xml"), req)
        print(f"recorded {sample}.xml")
    try:
        value = xmlrpc.client.loads(body)[0][0]
    except xmlrpc.client.Fault as f:
        if fault is not False:
            return f
        sys.exit(f"{method}: fault {f.faultCode} {f.faultString}")
    if fault is True:
        sys.exit(f"{method}: expected a fault, got {value!r}")
    return value


def tiny_png(w=3, h=2):
    raw = b"".join(b"\x00" + bytes([200, 30, 30]) * w for _ in range(h))

    def chunk(t, d):
        return struct.pack(">I", len(d)) + t + d + struct.pack(">I", zlib.crc32(t + d) & 0xFFFFFFFF)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


os.makedirs(os.path.join(HERE, "requests"), exist_ok=True)
if ARGS.reset:
    if not ARGS.peer:
        sys.exit("--reset needs the peer's folder: set QUILL_SHARED_DIR or pass --peer")
    subprocess.run(["bash", os.path.join(ARGS.peer, "reset.sh")], check=True)

created, media = [], []
try:
    # An empty blog: MetaWeblog answers an empty list, Blogger a fault 500.
    if not call("metaWeblog.getRecentPosts", "1", ADMIN, ADMIN_PW, 50):
        call("metaWeblog.getRecentPosts", "1", ADMIN, ADMIN_PW, 50, sample="metaWeblog.getRecentPosts.empty")
        call("blogger.getRecentPosts", APPKEY, "1", ADMIN, ADMIN_PW, 10,
             sample="blogger.getRecentPosts.empty", fault=True)
    else:
        print("the blog is not empty: *.empty.xml kept as they are (--reset empties it)")

    call("blogger.getUsersBlogs", APPKEY, ADMIN, ADMIN_PW, sample="blogger.getUsersBlogs")
    cats = call("metaWeblog.getCategories", "1", ADMIN, ADMIN_PW, sample="metaWeblog.getCategories")
    ids = {c["categoryName"]: str(c["categoryId"]) for c in cats}
    call("mt.getCategoryList", "1", ADMIN, ADMIN_PW, sample="mt.getCategoryList")

    # Blogger: the title and the category ids ride inside the content.
    content = (f"<title>博客标题 Blogger 测试</title><category>{ids['News']},{ids['技术']}</category>"
               "正文内容：你好，世界！\n第二行 & <b>粗体</b>")
    created.append(call("blogger.newPost", APPKEY, "1", ADMIN, ADMIN_PW, content, True,
                        sample="blogger.newPost"))
    # A title with quotes, an ampersand, markup and an apostrophe, written into the content as
    # typed (WordPress takes the title element's text literally).
    typed = "标题 \"引号\" & <b>粗</b> O'Brien"
    created.append(call("blogger.newPost", APPKEY, "1", ADMIN, ADMIN_PW,
                        f"<title>{typed}</title>正文", True))
    call("blogger.getPost", APPKEY, str(created[-1]), ADMIN, ADMIN_PW, sample="blogger.getPost")
    call("metaWeblog.getPost", str(created[-1]), ADMIN, ADMIN_PW, sample="metaWeblog.getPost")

    # MetaWeblog: escaped text, two categories, a back-dated post.
    st = {"title": "元数据标题 & <测试> \"引号\" 'apos'",
          "description": "<p>正文段落一：中文 UTF-8 往返。</p>\n<p>第二段 &amp; 实体，€ ü 😀</p>",
          "categories": ["News", "技术"], "dateCreated": xmlrpc.client.DateTime("20070315T09:05:00"),
          "mt_keywords": "标签一, tag2"}
    mw = call("metaWeblog.newPost", "1", ADMIN, ADMIN_PW, st, True, sample="metaWeblog.newPost")
    created.append(int(mw))
    call("metaWeblog.editPost", mw, ADMIN, ADMIN_PW, st, True, sample="metaWeblog.editPost")

    call("blogger.getRecentPosts", APPKEY, "1", ADMIN, ADMIN_PW, 10, sample="blogger.getRecentPosts")
    call("metaWeblog.getRecentPosts", "1", ADMIN, ADMIN_PW, 10, sample="metaWeblog.getRecentPosts")

    r = call("metaWeblog.newMediaObject", "1", ADMIN, ADMIN_PW,
             {"name": "quill-test.png", "type": "image/png", "bits": xmlrpc.client.Binary(tiny_png())},
             sample="metaWeblog.newMediaObject")
    media.append(int(r["id"]))

    call("blogger.getUsersBlogs", APPKEY, ADMIN, "wrong-password", sample="fault-wrong-password", fault=True)
    call("quill.noSuchMethod", 1, sample="fault-unknown-method", fault=True)

    # The first delete moves a post to the trash, the second removes it.
    call("blogger.deletePost", APPKEY, str(created[0]), ADMIN, ADMIN_PW, True, sample="blogger.deletePost")
    call("metaWeblog.deletePost", APPKEY, mw, ADMIN, ADMIN_PW, True, sample="metaWeblog.deletePost")
finally:
    for pid in created:
        for _ in range(2):
            call("blogger.deletePost", APPKEY, str(pid), ADMIN, ADMIN_PW, True, fault=None)
    for m in media:
        call("wp.deletePost", "1", ADMIN, ADMIN_PW, m, fault=None)
print("done")
