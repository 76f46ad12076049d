#!/usr/bin/env bash
# Publishing one article to five weblog accounts at once (quillmark-cli article publish ID --to
# A,B,C,D,E) against five metaWeblog.newPost calls made one after the other by Python's
# xmlrpc.client, on the WordPress peer. The five accounts are the same peer user, which is
# enough: each account has its own connection and its own call. The goal is a wall time of at
# most half the sequential one, since the accounts are independent and go at once.
#
# The peer must be running; it is shared, so nothing here resets or empties it: the posts made
# by a run are deleted again afterwards (not timed).
#
#   bench/publish_compare.sh [path/to/quillmark-cli] [runs]
#
# The cli's time is the whole process (start, reading the accounts and blog.db, the five calls,
# storing the results); Python's is given twice: the five calls alone, timed inside the
# interpreter, and its whole process. The machine's load average is printed with the figures,
# since a loaded machine (and the peer's own CPU) decides how much five calls at once can gain.
set -euo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
CLI="${1:-$HERE/../build/bin/quillmark-cli}"
RUNS="${2:-5}"
URL="http://127.0.0.1:8080/xmlrpc.php"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT

[ -x "$CLI" ] || { echo "no quillmark-cli at $CLI" >&2; exit 1; }
python3 -c "import xmlrpc.client as x; x.ServerProxy('$URL').demo.sayHello()" >/dev/null 2>&1 ||
    { echo "the WordPress peer does not answer at $URL" >&2; exit 1; }

HOME_DIR="$WORK/home"
ACCOUNTS=""
for i in 1 2 3 4 5; do
    "$CLI" --home "$HOME_DIR" account add --name "bench$i" --description "基准 $i" \
        --type MetaWeblog --url "$URL" --port 8080 --user admin --password quill-pass-1 \
        --encoding UTF-8
    ACCOUNTS="${ACCOUNTS:+$ACCOUNTS,}bench$i"
done
printf '<p>%s</p>\n' "$(printf '正文段落 & "引号" %.0s' $(seq 40))" >"$WORK/body.html"

now() { date +%s.%N; }
LOAD="$(cut -d' ' -f1-3 /proc/loadavg)"
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

: >"$WORK/cli.times"
: >"$WORK/py.times"
: >"$WORK/pyprocess.times"
for run in $(seq "$RUNS"); do
    id=$("$CLI" --home "$HOME_DIR" article new bench1 --title "五处发布 $run $$" \
        --category 技术 --content-file "$WORK/body.html")
    start=$(now)
    "$CLI" --home "$HOME_DIR" article publish "$id" --to "$ACCOUNTS" >"$WORK/published"
    end=$(now)
    python3 -c "print(f'{$end - $start:.3f}')" >>"$WORK/cli.times"
    if [ "$(grep -c $'\t[0-9][0-9]*$' "$WORK/published")" != 5 ]; then
        echo "publishing failed:" >&2
        cat "$WORK/published" >&2
        exit 1
    fi
    cut -f2 "$WORK/published" >>"$WORK/posts"

    start=$(now)
    python3 - "$URL" "$WORK/body.html" "$run" >>"$WORK/py.times" 3>>"$WORK/posts" <<'PY'
import os, sys, time, xmlrpc.client
url, body_file, run = sys.argv[1], sys.argv[2], sys.argv[3]
body = open(body_file, encoding="utf-8").read()
ids = []
start = time.monotonic()
for i in range(5):
    server = xmlrpc.client.ServerProxy(url)  # one connection per account, as the cli has
    ids.append(server.metaWeblog.newPost(
        "1", "admin", "quill-pass-1",
        {"title": f"五处发布 python {run} {i}", "description": body, "categories": ["技术"]},
        True))
print(f"{time.monotonic() - start:.3f}")
with os.fdopen(3, "w") as posts:
    posts.write("".join(f"{i}\n" for i in ids))
PY
    end=$(now)
    python3 -c "print(f'{$end - $start:.3f}')" >>"$WORK/pyprocess.times"
done

cli=$(median <"$WORK/cli.times")
py=$(median <"$WORK/py.times")
pyprocess=$(median <"$WORK/pyprocess.times")
echo "runs: $RUNS, load average before: $LOAD"
echo "quillmark-cli article publish --to (5 accounts), median s: $cli  (all: $(tr '\n' ' ' <"$WORK/cli.times"))"
echo "python xmlrpc.client, 5 x newPost in a row, median s:     $py  (all: $(tr '\n' ' ' <"$WORK/py.times"))"
echo "python, the same as a whole process, median s:            $pyprocess"
python3 -c "print(f'ratio cli / python calls: {$cli / $py:.2f}; cli / python process: {$cli / $pyprocess:.2f} (goal <= 0.50)')"

# Tidy the shared peer.
python3 - "$URL" "$WORK/posts" <<'PY'
import sys, xmlrpc.client
server = xmlrpc.client.ServerProxy(sys.argv[1])
ids = [line.strip() for line in open(sys.argv[2]) if line.strip()]
for post_id in ids:
    server.blogger.deletePost("", post_id, "admin", "quill-pass-1", True)
print(f"deleted the {len(ids)} posts of this run again")
PY
