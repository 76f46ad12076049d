#!/usr/bin/env bash
# Feed parse throughput of Quillmark next to `xmllint --noout` (the floor of XML parsing: a DOM
# and nothing else) and python3-feedparser (a peer), over the 500 feeds that
# ../shared/bench/genfeeds.py writes, all read from memory or disk without the network.
#
#   bench/compare_parse.sh [-r RUNS] [DATA_FOLDER]     (default /tmp/qm/r0, generated if missing)
#
# Builds quill_bench in Release (folder $BUILD_DIR, default build-release) and reports the
# medians of RUNS runs (default 3) with the ratios. Needs libxml2-utils and python3-feedparser
# (scripts/install-deps.sh installs them).
set -euo pipefail
cd "$(dirname "$0")/.."
RUNS=3
DATA=/tmp/qm/r0
while [ $# -gt 0 ]; do
    case "$1" in
    -r | --runs) RUNS="$2"; shift 2 ;;
    -h | --help) sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) DATA="$1"; shift ;;
    esac
done
SHARED="$(pwd)/../shared/bench"
BUILD_DIR="${BUILD_DIR:-build-release}"

if [ ! -d "$DATA/feeds" ]; then
    echo "# generating the feeds into $DATA"
    python3 "$SHARED/genfeeds.py" "$DATA" >/dev/null
fi

cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD_DIR" --target quill_bench >/dev/null

QUILL_JSON="$(mktemp)"
BASELINE="$(mktemp)"
trap 'rm -f "$QUILL_JSON" "$BASELINE"' EXIT

QUILL_BENCH_FEEDS="$DATA/feeds" "$BUILD_DIR/bin/quill_bench" \
    --benchmark_filter='BM_(Parse|Load)GeneratedFeeds' \
    --benchmark_repetitions="$RUNS" --benchmark_format=json >"$QUILL_JSON" 2>/dev/null
bash "$SHARED/parse_baseline.sh" -r "$RUNS" "$DATA" | tee "$BASELINE"

python3 - "$QUILL_JSON" "$BASELINE" <<'EOF'
import json, re, statistics, sys

runs = json.load(open(sys.argv[1]))["benchmarks"]
def median(name, key):
    values = [b[key] for b in runs if b.get("run_name") == name and b.get("run_type") == "iteration"]
    return statistics.median(values)

parse_ms = median("BM_ParseGeneratedFeeds/min_time:2.000", "real_time")
load_ms = median("BM_LoadGeneratedFeedsOnly/min_time:2.000", "real_time")
items_s = median("BM_ParseGeneratedFeeds/min_time:2.000", "items_per_second")
mb_s = median("BM_ParseGeneratedFeeds/min_time:2.000", "bytes_per_second") / 1e6

text = open(sys.argv[2]).read()
fp = re.search(r"feedparser:\s+([\d.]+) s\s+(\d+) items/s\s+([\d.]+) MB/s", text)
xl = re.search(r"xmllint --noout:\s+([\d.]+) s\s+([\d.]+) MB/s", text)
fp_s, fp_items, fp_mb = float(fp.group(1)), float(fp.group(2)), float(fp.group(3))
xl_s, xl_mb = float(xl.group(1)), float(xl.group(2))
q_s = parse_ms / 1000

print()
print("| parse, 500 generated feeds | wall | items/s | MB/s | vs xmllint --noout | vs feedparser |")
print("|---|---|---|---|---|---|")
print(f"| Quillmark CFeedParser (from memory) | {q_s:.3f} s | {items_s:,.0f} | {mb_s:.1f} | "
      f"{q_s / xl_s:.2f}x the time | {fp_s / q_s:.0f}x faster |")
print(f"| libxml2 document only (from memory) | {load_ms / 1000:.3f} s | | | {load_ms / 1000 / xl_s:.2f}x | |")
print(f"| xmllint --noout (from disk) | {xl_s:.3f} s | | {xl_mb:.1f} | 1 | |")
print(f"| python3-feedparser (from disk) | {fp_s:.3f} s | {fp_items:,.0f} | {fp_mb:.1f} | {fp_s / xl_s:.1f}x | 1 |")
EOF
