#!/usr/bin/env bash
# Times quillmark-cli's weblog commands against the WordPress peer, side by side with Python's
# xmlrpc.client making the same XML-RPC calls:
#   1. fetching the 100 most recent posts (posts fetch --count 100 / metaWeblog.getRecentPosts);
#   2. publishing 20 articles in a row (article publish x 20 / metaWeblog.newPost x 20).
# The peer must be running (../shared/peers/wordpress/start.sh). The blog is emptied first with
# the peer's reset.sh, so the runs start alike.
#
#   bench/blog-peer-compare.sh [path/to/quillmark-cli] [runs]
set -euo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
CLI="${1:-$HERE/../build/bin/quillmark-cli}"
RUNS="${2:-5}"
PEER="$HERE/../../shared/peers/wordpress"
URL="http://127.0.0.1:8080/xmlrpc.php"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT

[ -x "$CLI" ] || { echo "no quillmark-cli at $CLI" >&2; exit 1; }
bash "$PEER/reset.sh" >/dev/null

now() { date +%s.%N; }
elapsed() { python3 -c "print(f'{$2 - $1:.3f}')"; }

# 100 posts to fetch (not timed).
python3 - "$URL" <<'EOF'
import sys, xmlrpc.client
s = xmlrpc.client.ServerProxy(sys.argv[1])
for i in range(100):
    s.metaWeblog.newPost("1", "admin", "quill-pass-1",
                         {"title": f"基准文章 {i} & <b>", "description": "<p>正文 " * 20 + "</p>",
                          "categories": ["技术"]}, True)
EOF

HOME_DIR="$WORK/home"
"$CLI" --home "$HOME_DIR" account add --name bench --description bench --type MetaWeblog \
    --url "$URL" --port 8080 --user admin --password quill-pass-1 --encoding UTF-8

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

echo "== fetch 100 recent posts (median of $RUNS, seconds)"
for _ in $(seq "$RUNS"); do
    t0=$(now); "$CLI" --home "$HOME_DIR" posts fetch bench --count 100 >/dev/null; t1=$(now)
    elapsed "$t0" "$t1"
done | median > "$WORK/ours-fetch"
# Python: the whole process, and the call alone (its interpreter start is not the client's cost).
for _ in $(seq "$RUNS"); do
    t0=$(now)
    python3 -c "
import time, xmlrpc.client as x
t = time.perf_counter()
x.ServerProxy('$URL').metaWeblog.getRecentPosts('1','admin','quill-pass-1',100)
open('$WORK/py-call', 'a').write(f'{time.perf_counter() - t:.3f}\\n')"
    t1=$(now)
    elapsed "$t0" "$t1"
done | median > "$WORK/py-fetch"
median < "$WORK/py-call" > "$WORK/py-fetch-call"
echo "quillmark-cli posts fetch (whole process, stores the posts): $(cat "$WORK/ours-fetch")"
echo "python3 xmlrpc.client, whole process:                        $(cat "$WORK/py-fetch")"
echo "python3 xmlrpc.client, the call alone:                       $(cat "$WORK/py-fetch-call")"
echo "ratio ours / python call alone:                              $(python3 -c "print(f'{$(cat "$WORK/ours-fetch") / $(cat "$WORK/py-fetch-call"):.2f}')")"

echo "== publish 20 articles in a row (seconds)"
echo "<p>基准正文 & 内容</p>" > "$WORK/body.html"
ids=()
for i in $(seq 20); do
    ids+=("$("$CLI" --home "$HOME_DIR" article new bench --title "发布基准 $i \"引号\"" \
        --category 技术 --content-file "$WORK/body.html")")
done
t0=$(now)
for id in "${ids[@]}"; do "$CLI" --home "$HOME_DIR" article publish "$id" >/dev/null; done
t1=$(now)
ours=$(elapsed "$t0" "$t1")
py=$(python3 - "$URL" <<'PY'
import sys, time, xmlrpc.client
s = xmlrpc.client.ServerProxy(sys.argv[1])
t = time.perf_counter()
for i in range(20):
    s.metaWeblog.newPost("1", "admin", "quill-pass-1",
                         {"title": f'发布基准 {i} "引号"', "description": "<p>基准正文 &amp; 内容</p>",
                          "categories": ["技术"], "dateCreated": xmlrpc.client.DateTime()}, True)
print(f"{time.perf_counter() - t:.3f}")
PY
)
echo "quillmark-cli article publish x20 (20 processes, moves each article): $ours"
echo "python3 xmlrpc.client, 20 calls in one process (calls alone):        $py"
echo "ratio ours / python:                                                  $(python3 -c "print(f'{$ours / $py:.2f}')")"

bash "$PEER/reset.sh" >/dev/null
