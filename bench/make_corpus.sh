#!/usr/bin/env bash
# bench/make_corpus.sh [--scale N] [--seed S] [--fetch-only] [OUTPUT_DIR]
#
# Makes the corpus of real documents as outlines in OUTPUT_DIR (default build/corpus): fetches
# the packages that bench/corpus/documents.txt names (Debian packages with apt-get download,
# npm packages with npm pack; unpacked, never installed) into a cache, then converts each
# document with bench/to_outline.py. Safe to run again: it fetches and converts only what is
# missing or older than its source, and says nothing when all is there.
#
# --scale N   also writes OUTPUT_DIR/scaled-N.outline, the documents repeated under one top item
#             until it holds at least N items (sections kept at 999 or fewer), and two seeded
#             edited versions of it, scaled-N.v1.outline and scaled-N.v2.outline (one edit in
#             about a thousand items each), for timing diff and merge on real shapes.
# --seed S    the seed of those edits (default 1).
# --fetch-only  fetch the packages and stop (what ./setup-machine calls).
#
# The cache is $NORVEX_CORPUS_CACHE, by default ~/.cache/norvex-corpus.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
scale=""
seed=1
fetch_only=0
output=""
while [[ $# -gt 0 ]]; do
    case $1 in
    --scale) scale=$2; shift 2 ;;
    --seed) seed=$2; shift 2 ;;
    --fetch-only) fetch_only=1; shift ;;
    -h|--help) sed -n '2,/^set -eu/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    -*) echo "make_corpus.sh: unknown option $1" >&2; exit 2 ;;
    *) output=$1; shift ;;
    esac
done
output=${output:-$here/../build/corpus}
cache=${NORVEX_CORPUS_CACHE:-$HOME/.cache/norvex-corpus}
list=$here/corpus/documents.txt
mkdir -p "$cache"

# apt-get download needs the package lists; a fresh machine may have none, or old ones.
apt_updated=0
apt_update() {
    [[ $apt_updated -eq 1 ]] && return 0
    apt_updated=1
    local sudo=""
    [[ $(id -u) -ne 0 ]] && sudo="sudo"
    $sudo apt-get update -q >/dev/null 2>&1 || true
}

# Fetches and unpacks one source ("deb:NAME" or "npm:NAME@VERSION") into $cache/unpacked/KEY,
# once: a stamp file marks a finished unpack.
fetch() {
    local source=$1 key folder
    key=$(printf '%s' "$source" | tr '/:@' '___')
    folder=$cache/unpacked/$key
    [[ -e $folder/.complete ]] && return 0
    rm -rf "$folder" "$cache/download-$key"
    mkdir -p "$folder" "$cache/download-$key"
    case $source in
    deb:*)
        local package=${source#deb:}
        # As root, apt drops to its own user, which cannot write into the cache: keep it root.
        if ! (cd "$cache/download-$key" && apt-get download -q -o APT::Sandbox::User=root \
                "$package" >/dev/null 2>&1); then
            apt_update
            (cd "$cache/download-$key" && apt-get download -q -o APT::Sandbox::User=root \
                "$package" >/dev/null) || { echo "make_corpus.sh: cannot fetch $package" >&2; return 1; }
        fi
        dpkg-deb -x "$cache/download-$key"/*.deb "$folder"
        ;;
    npm:*)
        local package=${source#npm:}
        (cd "$cache/download-$key" && npm pack --silent "$package" >/dev/null 2>&1) ||
            { echo "make_corpus.sh: cannot fetch $package from npm" >&2; return 1; }
        tar -xzf "$cache/download-$key"/*.tgz -C "$folder"
        ;;
    *) echo "make_corpus.sh: unknown source $source" >&2; return 1 ;;
    esac
    rm -rf "$cache/download-$key"
    touch "$folder/.complete"
}

failed=0
documents=()
while read -r name source path _; do
    [[ -z $name || $name == \#* ]] && continue
    if fetch "$source"; then
        key=$(printf '%s' "$source" | tr '/:@' '___')
        documents+=("$name" "$cache/unpacked/$key/$path")
    else
        failed=1
    fi
done <"$list"
[[ $fetch_only -eq 1 ]] && exit $failed

mkdir -p "$output"
python3 "$here/corpus_build.py" convert "$output" "${documents[@]}" || failed=1
if [[ -n $scale ]]; then
    python3 "$here/corpus_build.py" scale "$output" "$scale" "$seed" || failed=1
fi
exit $failed
