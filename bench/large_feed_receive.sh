#!/usr/bin/env bash
# Receiving very long feeds: peak memory and time of `quillmark-cli receive --all` for one feed
# of ITEMS small items, and for SIX such feeds in one walk. Served by ../shared/bench/serve.sh on
# 127.0.0.1; measured with /usr/bin/time.
#
#   bench/large_feed_receive.sh [WORK_DIR] [ITEMS]   (defaults /tmp/qm-large, 300000)
#   QUILL_CLI=path/to/quillmark-cli to measure another build.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
shared=${QUILL_SHARED_DIR:-$here/../../shared}/bench
cli=${QUILL_CLI:-$here/../build/bin/quillmark-cli}
work=${1:-/tmp/qm-large}
items=${2:-300000}
port=8082

mkdir -p "$work/served"
for n in 1 2 3 4 5 6; do
    feed="$work/served/big$n.xml"
    [ -f "$feed" ] || python3 - "$feed" "$items" "$n" <<'PY'
import sys
path, count, n = sys.argv[1], int(sys.argv[2]), sys.argv[3]
with open(path, "w", encoding="utf-8") as out:
    out.write('<?xml version="1.0" encoding="utf-8"?>\n<rss version="2.0"><channel>'
              f'<title>长频道 {n}</title><link>http://127.0.0.1/{n}</link>\n')
    for i in range(count):
        out.write(f'<item><title>Item {i}</title><link>http://127.0.0.1/{n}/{i}</link>'
                  f'</item>\n')
    out.write('</channel></rss>\n')
PY
done
bash "$shared/stop.sh" -p $port >/dev/null 2>&1 || true
bash "$shared/serve.sh" -p $port "$work/served" >/dev/null
until curl -sfI "http://127.0.0.1:$port/big1.xml" >/dev/null; do sleep 0.2; done
trap 'bash "$shared/stop.sh" -p $port >/dev/null 2>&1 || true' EXIT

run() {
    local label=$1 count=$2 home="$work/home-$1"
    rm -rf "$home"
    "$cli" --home "$home" init >/dev/null
    for n in $(seq 1 "$count"); do
        "$cli" --home "$home" channel add "http://127.0.0.1:$port/big$n.xml" --title "big$n" >/dev/null
    done
    /usr/bin/time -f "%e %M" -o "$work/time.txt" "$cli" --home "$home" receive --all >/dev/null || true
    read -r seconds kb < <(tail -n 1 "$work/time.txt")
    printf '%-12s %3d feed(s) of %d items (%d MB each): %7.2f s  peak %4d MB\n' "$label" "$count" \
        "$items" $(($(stat -c %s "$work/served/big1.xml") >> 20)) "$seconds" $((kb / 1024))
}
run one 1
run six 6
