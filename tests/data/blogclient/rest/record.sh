#!/bin/bash
# record.sh - record the WordPress REST answers the unit tests read, from the WordPress peer
# (../shared/peers/wordpress). Makes two posts of its own and records only those.
#   QUILL_SHARED_DIR=/work/shared bash record.sh
set -euo pipefail
cd "$(dirname "$0")"
P=$(bash "$QUILL_SHARED_DIR/peers/wordpress/app-password.sh")
B='http://127.0.0.1:8080/index.php?rest_route='
get() { curl -s -u "admin:$P" "$@"; }
cat_id=$(get "$B/wp/v2/categories&search=News&_fields=id" | python3 -c 'import json,sys; print(json.load(sys.stdin)[0]["id"])')
one=$(get -H 'Content-Type: application/json' -d "{\"title\":\"REST 录制一\",\"content\":\"<p>第一篇 &amp; 正文</p>\",\"status\":\"publish\",\"categories\":[$cat_id]}" "$B/wp/v2/posts&_fields=id")
echo "$one" > posts.create.json
id1=$(python3 -c 'import json,sys; print(json.loads(sys.argv[1])["id"])' "$one")
two=$(get -H 'Content-Type: application/json' -d '{"title":"REST 录制二","content":"<p>第二篇</p>","status":"draft"}' "$B/wp/v2/posts&_fields=id")
id2=$(python3 -c 'import json,sys; print(json.loads(sys.argv[1])["id"])' "$two")
get "$B/wp/v2/users/me&context=edit&_fields=id,name,username" > users.me.json
get "$B/&_fields=name,url,home" > index.json
get "$B/wp/v2/posts&context=edit&include=$id1,$id2&status=publish,draft&_fields=id,date,title.raw,content.raw,categories,author,link" > posts.list.json
get "$B/wp/v2/categories&per_page=100&_fields=id,name" > categories.json
curl -s -u "admin:abcd efgh ijkl mnop qrst uvwx" "$B/wp/v2/users/me" > error.not-logged-in.json
curl -s -u "editor2:quill-pass-2" -d '' "$B/wp/v2/posts" > error.cannot-create.json
get -X DELETE "$B/wp/v2/posts/$id1&force=true" > /dev/null
get -X DELETE "$B/wp/v2/posts/$id2&force=true" > /dev/null
U=$(get "$B/wp/v2/users/me/application-passwords/introspect&_fields=uuid" |
    python3 -c 'import json,sys; print(json.load(sys.stdin)["uuid"])')
get -X DELETE "$B/wp/v2/users/me/application-passwords/$U" > /dev/null
