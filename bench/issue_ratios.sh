#!/usr/bin/env bash
# bench/issue_ratios.sh [BUILD_DIR] [ITEMS]
#
# The ratios that speed on real documents is judged by, measured in one run and printed as a
# Markdown table beside GNU diff and git merge-file:
#   - norvex diff against GNU diff on the same two files, full output written (goal <= 1.0);
#   - norvex merge against git merge-file -p on the same three files (goal <= 1.0);
#   - the diff's peak resident memory against the size of its two files (goal <= 2);
#   - norvex check of one file, in MB/s (goal >= 300), and with --allow-conflicts, which only
#     opens the file;
#   - beside them, the diff with --rules-only: the library's records alone, without the
#     command's list of what the comparison's rules leave out;
#   - the merge of one section of 100,000 siblings against the diff of the same files (goal
#     <= 10), for texts edited in a few places, one text repeated throughout, a shuffled version,
#     and a shuffled version with every text edited (outline_pair_gen merge-siblings).
# The documents are the corpus of bench/make_corpus.sh scaled to ITEMS items (default 10^6,
# about 40 s to make the first time) with its two seeded edited versions, or, without that
# script, a generated application tree of ITEMS items (outline_pair_gen tree) with 1% of its
# statements edited in each version. Each time is the best of a few runs, since the machine
# is shared; the load average is printed with the table. BUILD_DIR (default build-bench) needs
# norvex and outline_pair_gen from a Release build:
#   cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release
#   cmake --build build-bench -j2 --target norvex outline_pair_gen
set -euo pipefail

build=${1:-build-bench}
items=${2:-1000000}
here=$(cd "$(dirname "$0")" && pwd)
norvex=$build/bin/norvex
generate=$build/bin/outline_pair_gen
for tool in "$norvex" "$generate" /usr/bin/time; do
    [[ -x $tool ]] || { echo "missing $tool" >&2; exit 2; }
done
command -v diff >/dev/null && command -v git >/dev/null || { echo "needs diff and git" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/norvex-ratios.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Best wall time in seconds over $1 runs of the rest, and that run's peak resident kilobytes,
# as "seconds kilobytes". Exit statuses are ignored: the tools answer 1 for "different".
best_of() {
    local runs=$1; shift
    local best="" bestKb=0 start end seconds kb
    for ((run = 0; run < runs; ++run)); do
        start=$(date +%s%N)
        /usr/bin/time -f %M -o "$work/rss" "$@" >"$work/out" 2>"$work/stderr" || true
        end=$(date +%s%N)
        seconds=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", (b - a) / 1e9 }')
        kb=$(tail -n 1 "$work/rss")
        if [[ -z $best ]] || awk -v s="$seconds" -v b="$best" 'BEGIN { exit !(s < b) }'; then
            best=$seconds; bestKb=$kb
        fi
    done
    echo "$best $bestKb"
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
met() { awk -v r="$1" -v g="$2" -v dir="$3" 'BEGIN { print ((dir == "le" ? r <= g : r >= g) ? "yes" : "no") }'; }
megabytes() { awk -v b="$1" 'BEGIN { printf "%.1f", b / 1048576 }'; }

# The documents: the corpus scaled to ITEMS items when its script is there (kept in
# BUILD_DIR/corpus, so that a second run converts nothing again), else a generated tree.
if [[ -x $here/make_corpus.sh ]]; then
    echo "making the corpus, scaled to $items items, in $build/corpus" >&2
    "$here/make_corpus.sh" --scale "$items" "$build/corpus" >&2
    base=$build/corpus/scaled-$items.outline
    v1=$build/corpus/scaled-$items.v1.outline
    v2=$build/corpus/scaled-$items.v2.outline
    documents="the corpus of bench/make_corpus.sh scaled to $items items, edited by bench/edit_outline.py in each version"
else
    echo "generating a tree of $items items in $work" >&2
    base=$work/base.outline v1=$work/v1.outline v2=$work/v2.outline
    "$generate" tree "$items" 7 "$base" "$v1" "$v2"
    documents="a generated tree of $items items, 1% edited in each version"
fi
bytes=$(( $(stat -c %s "$base") + $(stat -c %s "$v1") ))

echo "timing the documents" >&2
read -r nvDiff nvDiffKb < <(best_of 3 "$norvex" diff --quiet "$base" "$v1")
read -r gnuDiff _ < <(best_of 3 diff "$base" "$v1")
# The library's comparison alone, without the command's list of what the rules leave out.
read -r nvRulesOnly nvRulesOnlyKb < <(best_of 3 "$norvex" diff --quiet --rules-only "$base" "$v1")
read -r nvMerge _ < <(best_of 3 "$norvex" merge --quiet -o "$work/merged.outline" "$base" "$v1" "$v2")
read -r gitMerge _ < <(best_of 3 git merge-file -p "$v1" "$base" "$v2")
read -r nvCheck _ < <(best_of 5 "$norvex" check "$base")
read -r nvOpen _ < <(best_of 5 "$norvex" check --allow-conflicts "$base")
rate() { awk -v b="$(stat -c %s "$base")" -v s="$1" 'BEGIN { printf "%.0f", b / 1048576 / s }'; }
checkRate=$(rate "$nvCheck")
openRate=$(rate "$nvOpen")

echo "timing the sibling sections" >&2
siblingRows=""
for kind in edits repeated shuffled shuffled-edited; do
    "$generate" merge-siblings "$kind" 100000 7 "$work/s-base.outline" "$work/s-v1.outline" \
        "$work/s-v2.outline"
    read -r merge _ < <(best_of 3 "$norvex" merge --quiet -o "$work/s-merged.outline" \
        "$work/s-base.outline" "$work/s-v1.outline" "$work/s-v2.outline")
    read -r sameDiff _ < <(best_of 3 "$norvex" diff --quiet "$work/s-base.outline" "$work/s-v1.outline")
    read -r gnu _ < <(best_of 3 diff "$work/s-base.outline" "$work/s-v1.outline")
    read -r git _ < <(best_of 3 git merge-file -p "$work/s-v1.outline" "$work/s-base.outline" \
        "$work/s-v2.outline")
    r=$(ratio "$merge" "$sameDiff")
    siblingRows+="| merge of 100,000 siblings, $kind (s) | $merge | norvex diff $sameDiff (GNU diff $gnu, git merge-file $git) | $r | <= 10 | $(met "$r" 10 le) |"$'\n'
done

diffRatio=$(ratio "$nvDiff" "$gnuDiff")
mergeRatio=$(ratio "$nvMerge" "$gitMerge")
memoryRatio=$(ratio "$nvDiffKb" "$(( bytes / 1024 ))")
cat <<EOF
Documents: $documents ($(megabytes "$(stat -c %s "$base")") MB the original)
Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), load average $(cut -d' ' -f1-3 /proc/loadavg)

| Measure | norvex | beside | ratio | goal | met |
|---|---|---|---|---|---|
| diff, full output (s) | $nvDiff | GNU diff $gnuDiff | $diffRatio | <= 1.0 | $(met "$diffRatio" 1.0 le) |
| merge (s) | $nvMerge | git merge-file -p $gitMerge | $mergeRatio | <= 1.0 | $(met "$mergeRatio" 1.0 le) |
| diff --rules-only, the records alone (s) | $nvRulesOnly | GNU diff $gnuDiff | $(ratio "$nvRulesOnly" "$gnuDiff") | | |
| diff peak RSS (MB) | $(awk -v k="$nvDiffKb" 'BEGIN { printf "%.1f", k / 1024 }') | both files $(megabytes "$bytes") | $memoryRatio | <= 2 | $(met "$memoryRatio" 2 le) |
| diff --rules-only peak RSS (MB) | $(awk -v k="$nvRulesOnlyKb" 'BEGIN { printf "%.1f", k / 1024 }') | both files $(megabytes "$bytes") | $(ratio "$nvRulesOnlyKb" "$(( bytes / 1024 ))") | | |
| check of the original (s) | $nvCheck | | $checkRate MB/s | >= 300 MB/s | $(met "$checkRate" 300 ge) |
| check --allow-conflicts, the open alone (s) | $nvOpen | | $openRate MB/s | >= 300 MB/s | $(met "$openRate" 300 ge) |
${siblingRows}
EOF
