#!/usr/bin/env bash
# WordPress's REST interface against its XML-RPC one, through quillmark-cli, in the same run on
# the WordPress peer: fetching the 100 most recent posts (posts fetch --count 100) and publishing
# one article (article publish) with a category ("publish": REST looks the category's id up
# first, WordPress taking only ids) and without ("plain"), each timed as the whole cli process, the two interfaces taking
# turns so that a busy machine weighs on both alike. The goal: REST at most 1.1 times XML-RPC.
#
# The peer is shared, so nothing here resets it: when it holds fewer than 100 posts, the missing
# ones are made first and, like the published articles, deleted again afterwards (not timed).
#
#   bench/rest_compare.sh [path/to/quillmark-cli] [runs]      (QUILL_SHARED_DIR=/work/shared)
set -euo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
CLI="${1:-$HERE/../build/bin/quillmark-cli}"
RUNS="${2:-7}"
PEER="${QUILL_SHARED_DIR:-$HERE/../../shared}/peers/wordpress"
XMLRPC="http://127.0.0.1:8080/xmlrpc.php"
REST="http://127.0.0.1:8080/index.php?rest_route=/"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT

[ -x "$CLI" ] || { echo "no quillmark-cli at $CLI" >&2; exit 1; }
APP="$(bash "$PEER/app-password.sh")" || { echo "no application password" >&2; exit 1; }
# The password is removed again at the end (WordPress checks every one at each REST call).
drop_app() {
    local api='http://127.0.0.1:8080/index.php?rest_route=/wp/v2/users/me/application-passwords'
    local uuid
    uuid=$(curl -s -u "admin:$APP" "$api/introspect" |
        python3 -c 'import json,sys; print(json.load(sys.stdin)["uuid"])') &&
        curl -s -o /dev/null -u "admin:$APP" -X DELETE "$api/$uuid"
    rm -rf "$WORK"
}
trap drop_app EXIT
Q() { "$CLI" --home "$WORK/home" "$@"; }
Q account add --name xmlrpc --description x --type MetaWeblog --url "$XMLRPC" --port 8080 \
    --user admin --password quill-pass-1 --encoding UTF-8
Q account add --name rest --description r --type "WordPress REST" --url "$REST" --port 8080 \
    --user admin --password "$APP" --encoding UTF-8
printf '<p>%s</p>\n' "$(printf '正文段落 & "引号" %.0s' $(seq 40))" >"$WORK/body.html"

# At least 100 posts to fetch (made and later deleted by XML-RPC, not timed).
have=$(python3 -c "
import xmlrpc.client as x
print(len(x.ServerProxy('$XMLRPC').metaWeblog.getRecentPosts('1','admin','quill-pass-1',100)))")
python3 - "$XMLRPC" $((100 - have)) >"$WORK/filler" <<'PY'
import sys, xmlrpc.client
s = xmlrpc.client.ServerProxy(sys.argv[1])
for i in range(int(sys.argv[2])):
    print(s.metaWeblog.newPost("1", "admin", "quill-pass-1",
                               {"title": f"基准填充 {i}", "description": "<p>填充</p>"}, True))
PY

now() { date +%s.%N; }
timed() { local s e; s=$(now); "$@" >"$WORK/out"; e=$(now); python3 -c "print(f'{$e - $s:.4f}')"; }
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
LOAD="$(cut -d' ' -f1-3 /proc/loadavg)"
for type in xmlrpc rest; do : >"$WORK/$type.fetch"; : >"$WORK/$type.publish"; : >"$WORK/$type.plain"; done
for run in $(seq "$RUNS"); do
    for type in xmlrpc rest; do
        timed Q posts fetch "$type" --count 100 >>"$WORK/$type.fetch"
        [ "$(cat "$WORK/out")" -ge 100 ] || { echo "$type fetched $(cat "$WORK/out")" >&2; exit 1; }
        id=$(Q article new "$type" --title "基准发布 $type $run $$" --category 技术 \
            --content-file "$WORK/body.html")
        timed Q article publish "$id" >>"$WORK/$type.publish"
        echo "$type $id" >>"$WORK/published"
        # Without a category REST needs no look-up: one call each.
        id=$(Q article new "$type" --title "基准发布 $type $run $$" --content-file "$WORK/body.html")
        timed Q article publish "$id" >>"$WORK/$type.plain"
        echo "$type $id" >>"$WORK/published"
    done
done
while read -r type id; do Q article delete-remote "$id" >/dev/null; done <"$WORK/published"
python3 - "$XMLRPC" "$WORK/filler" <<'PY'
import sys, xmlrpc.client
s = xmlrpc.client.ServerProxy(sys.argv[1])
for line in open(sys.argv[2]):
    s.blogger.deletePost("", line.strip(), "admin", "quill-pass-1", True)
PY

echo "load average at start: $LOAD; $RUNS runs, medians in seconds (whole cli process)"
for what in fetch publish plain; do
    x=$(median <"$WORK/xmlrpc.$what")
    r=$(median <"$WORK/rest.$what")
    python3 -c "print(f'{\"$what\":8} XML-RPC {$x:.3f}  REST {$r:.3f}  REST/XML-RPC {$r / $x:.2f}')"
done
