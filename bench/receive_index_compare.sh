#!/usr/bin/env bash
# Receiving 500 generated feeds × 50 items (receive_compare.sh conditions) with the search index
# and with it turned off, same machine, same run: a cold receive into an empty store, then the
# next round. "Off" keeps the index's triggers but makes them do nothing, so the merges queue
# nothing and the receive folds nothing. Also prints the store's size with and without the index.
#
#   bench/receive_index_compare.sh [WORK_DIR]   (default /tmp/qm; needs build/bin/quillmark-cli)
#
# QUILL_MODES lists the runs in their order (default "on off"); a run named on-NAME is "on" with
# the SQL in the variable QUILL_SQL_NAME applied to the new store first (an FTS5 setting written
# into rss_search_config, for instance), so that settings can be compared in one interleaved run.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
shared=${QUILL_SHARED_DIR:-$here/../../shared}/bench
cli=${QUILL_CLI:-$here/../build/bin/quillmark-cli}
work=${1:-/tmp/qm}
port=8081

[ -d "$work/r0" ] || python3 "$shared/genfeeds.py" "$work/r0" >/dev/null
[ -d "$work/r1" ] || python3 "$shared/genfeeds.py" "$work/r1" --round 1 >/dev/null
bash "$shared/stop.sh" -p $port >/dev/null 2>&1 || true
ln -sfn "$work/r0" "$work/served"
bash "$shared/serve.sh" -p $port "$work/served" >/dev/null
trap 'bash "$shared/stop.sh" -p $port >/dev/null 2>&1 || true' EXIT

run() {
    local mode=$1 home="$work/home-$1"
    rm -rf "$home"
    "$cli" --home "$home" init >/dev/null
    while read -r url; do
        "$cli" --home "$home" channel add "$url" --title "$(basename "$url" .xml)" >/dev/null
    done <"$work/r0/urls.txt"
    if [ "${mode#on-}" != "$mode" ]; then
        local setting="QUILL_SQL_${mode#on-}"
        sqlite3 "$home/Storage/rss.db" "${!setting}"
    fi
    if [ "$mode" = off ]; then
        sqlite3 "$home/Storage/rss.db" \
            "DROP TRIGGER rss_search_insert; DROP TRIGGER rss_search_delete;
             DROP TRIGGER rss_search_update;
             CREATE TRIGGER rss_search_insert AFTER INSERT ON rss_data BEGIN SELECT 1; END;
             CREATE TRIGGER rss_search_delete AFTER DELETE ON rss_data BEGIN SELECT 1; END;
             CREATE TRIGGER rss_search_update AFTER UPDATE ON rss_data BEGIN SELECT 1; END;"
    fi
    for round in r0 r1; do
        ln -sfn "$work/$round" "$work/served"
        /usr/bin/time -f "%e %U %S" -o "$work/time.txt" \
            "$cli" --home "$home" receive --all >"$work/$mode-$round.out" || true
        read -r wall user sys <"$work/time.txt"
        printf 'index %-8s %-10s wall %6.2f s  cpu %6.2f s\n' "$mode" \
            "$([ $round = r0 ] && echo cold || echo next-round)" "$wall" \
            "$(echo "$user + $sys" | bc)"
    done
    ln -sfn "$work/r0" "$work/served"
    local items pages
    items=$(sqlite3 "$home/Storage/rss.db" 'select count(*) from rss_data;')
    pages=$(sqlite3 "$home/Storage/rss.db" \
        "select coalesce(sum(pgsize),0) from dbstat where name like 'rss_search%';")
    printf 'index %-8s store %d items, file %d bytes, index %d bytes\n' "$mode" "$items" \
        "$(stat -c %s "$home/Storage/rss.db")" "$pages"
}
for mode in ${QUILL_MODES:-on off}; do
    run "$mode"
done
