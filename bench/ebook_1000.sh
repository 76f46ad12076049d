#!/usr/bin/env bash
# Times building an e-book of 1,000 feed items with quillmark-cli: a feed of 1,000 items (Chinese
# text of about 1.5 KB each, one picture in every tenth) is served from 127.0.0.1, received into a
# fresh program directory, and bound with `ebook --channel`, once without and once with the
# pictures. Prints the wall time and the size of each book.
#
#   bench/ebook_1000.sh [path/to/quillmark-cli]
set -euo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
CLI="${1:-$HERE/../build/bin/quillmark-cli}"
WORK="$(mktemp -d)"
SERVER_PID=""
cleanup() {
    if [ -n "$SERVER_PID" ]; then kill "$SERVER_PID" 2>/dev/null || true; fi
    rm -rf "$WORK"
}
trap cleanup EXIT
[ -x "$CLI" ] || { echo "no quillmark-cli at $CLI" >&2; exit 1; }
command -v chmcmd >/dev/null || { echo "chmcmd missing (fp-utils)" >&2; exit 1; }

PORT="$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')"
mkdir -p "$WORK/www/pics"
python3 - "$WORK/www" "$PORT" <<'PY'
import sys, os
root, port = sys.argv[1], sys.argv[2]
para = "春风又绿江南岸，明月何时照我还。这是一段用来测量电子书生成速度的正文，" * 8
items = []
for i in range(1000):
    pic = f'<img src="http://127.0.0.1:{port}/pics/{i}.png">' if i % 10 == 0 else ""
    body = f"<p>第 {i} 篇。{para}</p><p>{para}</p>{pic}"
    items.append(f"<item><title>新闻 {i} 号</title><link>http://example.org/{i}</link>"
                 f"<pubDate>Mon, 07 Dec 2026 08:{i // 60 % 60:02d}:{i % 60:02d} +0000</pubDate>"
                 f"<description><![CDATA[{body}]]></description></item>")
with open(os.path.join(root, "feed.xml"), "w", encoding="utf-8") as f:
    f.write('<?xml version="1.0" encoding="UTF-8"?><rss version="2.0"><channel>'
            "<title>千篇</title>" + "".join(items) + "</channel></rss>")
png = bytes.fromhex("89504e470d0a1a0a") + b"\0" * 2000
for i in range(0, 1000, 10):
    with open(os.path.join(root, "pics", f"{i}.png"), "wb") as f:
        f.write(png)
PY
(cd "$WORK/www" && exec python3 -m http.server "$PORT" --bind 127.0.0.1 >/dev/null 2>&1) &
SERVER_PID=$!
for _ in $(seq 50); do curl -s -o /dev/null "http://127.0.0.1:$PORT/feed.xml" && break; sleep 0.1; done

HOME_DIR="$WORK/home"
"$CLI" --home "$HOME_DIR" channel add "http://127.0.0.1:$PORT/feed.xml" --title 千篇 >/dev/null
"$CLI" --home "$HOME_DIR" settings set rss/storagenum 2000 >/dev/null 2>&1 || true
"$CLI" --home "$HOME_DIR" receive 千篇 >"$WORK/receive.log" || { cat "$WORK/receive.log" >&2; exit 1; }

now() { date +%s.%N; }
run() {
    local name="$1"; shift
    local start end
    start="$(now)"
    "$CLI" --home "$HOME_DIR" ebook --channel 千篇 --title 千篇 "$@" "$WORK/$name.chm" >"$WORK/$name.log"
    end="$(now)"
    local pages
    pages="$(grep -o '制作完成! [0-9]* 篇文章' "$WORK/$name.log" || true)"
    printf '%-16s %6.2f s  %8d bytes  %s\n' "$name" "$(python3 -c "print($end - $start)")" \
        "$(stat -c %s "$WORK/$name.chm")" "$pages"
}
run "no-pictures"
run "with-pictures" --pictures
