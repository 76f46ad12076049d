#!/usr/bin/env bash
# A long fuzzing campaign: every target of a fuzz build folder in turn, ROUND seconds each, round
# after round, until the file STOP appears in the log folder (or the process group is ended).
# Run it at the lowest priority; it shares the machine:
#
#   nice -n 19 setsid bash scripts/fuzz-campaign.sh build-fuzz /work/fuzzlogs 600 &
#
# Each target's output goes to LOG_DIR/<target>.log, its corpus grows in LOG_DIR/corpus/<target>/
# and findings land in LOG_DIR/artifacts/<target>/. LOG_DIR/rounds.log says when each round ended.
set -uo pipefail
build="$(cd "$1" && pwd)"
logs="$2"
round="${3:-600}"
mkdir -p "$logs/corpus"
echo $$ >"$logs/campaign.pid"
rm -f "$logs/STOP"
n=0
while [ ! -e "$logs/STOP" ]; do
    n=$((n + 1))
    bash "$(dirname "$0")/fuzz.sh" "$build" "$round" "$logs/corpus" "$logs" >>"$logs/rounds.log" 2>&1
    echo "round $n ended $(date -u +%FT%TZ) (exit $?)" >>"$logs/rounds.log"
done
