#!/usr/bin/env bash
# Receiving 500 generated feeds (../shared/bench/genfeeds.py) with quillmark-cli, three ways:
# into an empty store, again with nothing changed (every feed answers 304), and after the
# served folder switches to the next round; then newsboat's reload of the same feeds for the
# side-by-side figures. Every address is 127.0.0.1.
#
#   bench/receive_compare.sh [WORK_DIR]      (default /tmp/qm; builds nothing: run `make` first)
#
# SHARED_HOST=N puts the first N feeds on one host name (127.0.0.2) and every other feed on a
# host of its own (127.1.x.y), as a planet or a newspaper with many feeds among single sites:
# the per-host limit holds the N back while the others go on. The server then listens on every
# address (the whole of 127.0.0.0/8 is loopback). PORT picks the server's port (8081).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
shared=${QUILL_SHARED_DIR:-$here/../../shared}/bench
cli=${QUILL_CLI:-$here/../build/bin/quillmark-cli}
work=${1:-/tmp/qm}
port=${PORT:-8081}
shared_host=${SHARED_HOST:-0}

[ -d "$work/r0" ] || python3 "$shared/genfeeds.py" "$work/r0" >/dev/null
[ -d "$work/r1" ] || python3 "$shared/genfeeds.py" "$work/r1" --round 1 >/dev/null
ln -sfn "$work/r0" "$work/served"
bash "$shared/stop.sh" -p $port >/dev/null 2>&1 || true
bash "$shared/serve.sh" -p $port "$work/served" >/dev/null
if [ "$shared_host" -gt 0 ]; then
    # The same server on every loopback address.
    state=/tmp/quillmark-feedserver-$port
    bash "$shared/stop.sh" -p $port >/dev/null
    sed -i "s/listen 127.0.0.1:$port;/listen $port;/" "$state/nginx.conf"
    nginx=$(command -v nginx || echo /usr/sbin/nginx)
    "$nginx" -p "$state" -c "$state/nginx.conf"
    for _ in $(seq 1 50); do (exec 3<>"/dev/tcp/127.0.0.2/$port") 2>/dev/null && break; sleep 0.1; done
fi
trap 'bash "$shared/stop.sh" -p $port >/dev/null 2>&1 || true' EXIT

home="$work/home"
rm -rf "$home"
"$cli" --home "$home" init >/dev/null
n=0
while read -r url; do
    url=${url/:8081\//:$port/}
    if [ "$shared_host" -gt 0 ]; then
        if [ $n -lt "$shared_host" ]; then
            url=${url/127.0.0.1/127.0.0.2}
        else
            url=${url/127.0.0.1/127.1.$((n / 250)).$((n % 250 + 1))}
        fi
    fi
    n=$((n + 1))
    "$cli" --home "$home" channel add "$url" --title "$(basename "$url" .xml)" >/dev/null
done <"$work/r0/urls.txt"

receive() {
    local label=$1
    /usr/bin/time -f "%e %M" -o "$work/time.txt" "$cli" --home "$home" receive --all >"$work/$label.out" || true
    read -r seconds kb <"$work/time.txt"
    local ok new
    ok=$(grep -c $'\tok\t' "$work/$label.out" || true)
    new=$(awk -F'\t' '{ s += $3 } END { print s + 0 }' "$work/$label.out")
    printf 'quillmark %-10s %6.2f s  peak %4d MB  %d channels ok  %d new items\n' \
        "$label" "$seconds" $((kb / 1024)) "$ok" "$new"
}
receive cold
receive unchanged
ln -sfn "$work/r1" "$work/served"
receive next-round
items=$(sqlite3 "$home/Storage/rss.db" 'select count(*) from rss_data;')
echo "quillmark store holds $items items (the default storage rule keeps what each feed lists)"

bash "$shared/stop.sh" -p $port >/dev/null 2>&1 || true
trap - EXIT
if [ "${SKIP_NEWSBOAT:-0}" != 1 ]; then
    bash "$shared/newsboat_reload.sh" --serve --warm --next "$work/r1" -r 1 -t 8 "$work/r0"
fi
