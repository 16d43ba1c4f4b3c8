#!/usr/bin/env bash
# bench/compare_with_tools.sh [BUILD_DIR]
#
# Times the norvex command beside GNU diff and git merge-file on the same seeded files, in one
# run, and prints a Markdown table: diff and merge of 10^6 items, the diff's time per item at
# 10^4, 10^5 and 10^6 items, the diff's peak memory against its two files, the pairing of 999
# edited statements against its step-by-step reference, and the build of one section of
# 100,000 statements (1% and every text edited) against the open of its two files. Each time
# is the best of a few runs (the machine is shared), so a figure is what the work costs, not
# what the neighbours did to it. BUILD_DIR (default build-bench) needs norvex, outline_pair_gen and pairing_bench:
#   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release
#   ninja -C build-bench norvex outline_pair_gen pairing_bench
set -euo pipefail

build=${1:-build-bench}
norvex=$build/bin/norvex
generate=$build/bin/outline_pair_gen
pairing=$build/bin/pairing_bench
for tool in "$norvex" "$generate" "$pairing" /usr/bin/time; do
    [[ -x $tool ]] || { echo "missing $tool" >&2; exit 2; }
done
command -v diff >/dev/null && command -v git >/dev/null || { echo "needs diff and git" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/norvex-tools-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Best wall time in seconds over $1 runs of the rest, and that run's peak resident kilobytes,
# as "seconds kilobytes". Exit statuses are ignored: both tools answer 1 for "different".
best_of() {
    local runs=$1; shift
    local best="" bestKb=0 start end seconds kb
    for ((run = 0; run < runs; ++run)); do
        start=$(date +%s%N)
        /usr/bin/time -f %M -o "$work/rss" "$@" >/dev/null 2>"$work/stderr" || true
        end=$(date +%s%N)
        seconds=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", (b - a) / 1e9 }')
        kb=$(tail -n 1 "$work/rss")
        if [[ -z $best ]] || awk -v s="$seconds" -v b="$best" 'BEGIN { exit !(s < b) }'; then
            best=$seconds; bestKb=$kb
        fi
    done
    echo "$best $bestKb"
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

echo "generating files in $work" >&2
for items in 10000 100000 1000000; do
    "$generate" tree "$items" 7 "$work/base-$items.outline" "$work/v1-$items.outline" \
        "$work/v2-$items.outline"
done
"$generate" siblings 100000 "$work/long-second.outline" "$work/long-first.outline"

base=$work/base-1000000.outline v1=$work/v1-1000000.outline v2=$work/v2-1000000.outline

echo "timing diff" >&2
read -r nvDiff nvDiffKb < <(best_of 3 "$norvex" diff --quiet --stat "$base" "$v1")
read -r gnuDiff _ < <(best_of 3 diff "$base" "$v1")

echo "timing merge" >&2
read -r nvMerge _ < <(best_of 3 "$norvex" merge --quiet -o "$work/merged.outline" "$base" "$v1" "$v2")
read -r gitMerge _ < <(best_of 3 git merge-file -p "$v1" "$base" "$v2")

echo "timing growth" >&2
declare -A perItem
# 10^6 items reuses the diff timed above.
for items in 10000 100000 1000000; do
    seconds=$nvDiff
    if [[ $items -lt 1000000 ]]; then
        read -r seconds _ < <(best_of 7 "$norvex" diff --quiet --stat \
            "$work/base-$items.outline" "$work/v1-$items.outline")
    fi
    perItem[$items]=$(awk -v s="$seconds" -v n="$items" 'BEGIN { printf "%.3f", s * 1e6 / n }')
done

bytes=$(( $(stat -c %s "$v1") + $(stat -c %s "$base") ))

echo "timing the pairing and the long section" >&2
"$pairing" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
    --benchmark_format=csv 2>/dev/null >"$work/long.csv"
median() { awk -F, -v name="\"$1_median\"" '$1 == name { print $3; exit }' "$work/long.csv"; }
pairFast=$(median BM_PairEditedSection/1)
pairReference=$(median BM_PairEditedSection/0)
longBuild=$(median BM_BuildLongSection/100)
longOpen=$(median BM_OpenLongSectionFiles/100)
allBuild=$(median BM_BuildLongSection/1)
allOpen=$(median BM_OpenLongSectionFiles/1)
read -r longDiff _ < <(best_of 3 "$norvex" diff --quiet --stat "$work/long-first.outline" \
    "$work/long-second.outline")

cat <<EOF
Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), load average $(cut -d' ' -f1-3 /proc/loadavg)

| Measure | norvex | tool | ratio | goal |
|---|---|---|---|---|
| diff, 10^6 items, 1% edited (s) | $nvDiff | GNU diff $gnuDiff | $(ratio "$nvDiff" "$gnuDiff") | <= 1.5 |
| merge, 10^6 items, 1% edits each (s) | $nvMerge | git merge-file -p $gitMerge | $(ratio "$nvMerge" "$gitMerge") | <= 2 |
| diff time per item, 10^4 / 10^5 / 10^6 (us) | ${perItem[10000]} / ${perItem[100000]} / ${perItem[1000000]} | | $(ratio "${perItem[1000000]}" "${perItem[10000]}") (10^6 over 10^4) | <= 1.5 |
| diff peak RSS, 10^6 items (MB) | $(awk -v k="$nvDiffKb" 'BEGIN { printf "%.1f", k / 1024 }') | both files $(awk -v b="$bytes" 'BEGIN { printf "%.1f", b / 1048576 }') | $(ratio "$nvDiffKb" "$(( bytes / 1024 ))") | <= 3 |
| one section of 999 statements, every text edited, pairing (ms) | $pairFast | step by step $pairReference | $(ratio "$pairReference" "$pairFast") faster | >= 50 |
| one section of 100,000 statements, 1% edited, build under FDFM (ms) | $longBuild | open of both files $longOpen | $(ratio "$longBuild" "$longOpen") | < 10 |
| one section of 100,000 statements, every text edited, build under FDFM (ms) | $allBuild | open of both files $allOpen | $(ratio "$allBuild" "$allOpen") | < 10 |
| the same section through norvex diff (s) | $longDiff | | | |
EOF
