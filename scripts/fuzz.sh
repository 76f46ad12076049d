#!/usr/bin/env bash
# Runs every libFuzzer target of a fuzz build folder for a while, from the seeds that
# fuzz/CMakeLists.txt names, and fails when one of them finds a crash, a leak, a timeout or
# memory running out.
#
#   scripts/fuzz.sh BUILD_DIR SECONDS_PER_TARGET [CORPUS_ROOT] [LOG_DIR] [TARGET...]
#
# New inputs go into CORPUS_ROOT/<target> (default BUILD_DIR/corpus), findings into
# CORPUS_ROOT/../artifacts/<target>/ ; with LOG_DIR, each target's output goes to
# LOG_DIR/<target>.log instead of the terminal. The shared corpus ($QUILL_SHARED_DIR) adds its
# seeds when it is there.
set -uo pipefail
src="$(cd "$(dirname "$0")/.." && pwd)"
build="$1"
seconds="$2"
corpus_root="${3:-$build/corpus}"
log_dir="${4:-}"
shift $(( $# < 4 ? $# : 4 ))
only=("$@")
manifest="$build/fuzzers.tsv"
[ -f "$manifest" ] || { echo "fuzz.sh: $manifest missing (configure with -DQUILL_FUZZ=ON)" >&2; exit 2; }

failed=()
while IFS=$'\t' read -r name binary dict seeds; do
    [ -n "$name" ] || continue
    if [ ${#only[@]} -gt 0 ] && [[ ! " ${only[*]} " =~ " $name " ]]; then
        continue
    fi
    corpus="$corpus_root/$name"
    artifacts="$corpus_root/../artifacts/$name/"
    mkdir -p "$corpus" "$artifacts"
    dirs=("$corpus")
    for s in $seeds; do
        case "$s" in
        shared:*) d="${QUILL_SHARED_DIR:-}/${s#shared:}"; [ -n "${QUILL_SHARED_DIR:-}" ] || continue ;;
        *) d="$src/$s" ;;
        esac
        [ -d "$d" ] && dirs+=("$d")
    done
    args=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=262144
          -print_final_stats=1 -artifact_prefix="$artifacts")
    [ "$dict" != "-" ] && args+=(-dict="$dict")
    echo "== $name: ${seconds}s from ${dirs[*]}"
    if [ -n "$log_dir" ]; then
        mkdir -p "$log_dir"
        "$binary" "${args[@]}" "${dirs[@]}" >>"$log_dir/$name.log" 2>&1
    else
        "$binary" "${args[@]}" "${dirs[@]}" 2>&1 | grep -E '^(#[0-9]+ *(INITED|DONE)|stat::|==[0-9]+==|SUMMARY|artifact_prefix|Test unit written|.*runtime error)' 
        test "${PIPESTATUS[0]}" -eq 0
    fi
    rc=$?
    if [ $rc -ne 0 ]; then
        echo "== $name: FAILED (exit $rc); the input is in $artifacts"
        failed+=("$name")
    fi
done <"$manifest"

if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzz.sh: findings in: ${failed[*]}" >&2
    exit 1
fi
echo "fuzz.sh: no findings"
