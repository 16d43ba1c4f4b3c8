#!/bin/sh
# Compares the names that a built library exports with the names of its export list: every
# name listed must be exported, nothing else may be, and there are exactly 20.
# Usage: check_exports.sh LIBRARY EXPORT_LIST
set -eu
library=$1
list=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
sed -n 's/^ *\([A-Za-z_][A-Za-z0-9_]*\);$/\1/p' "$list" | sort >"$scratch/expected"
nm -D --defined-only "$library" | awk '{print $3}' | sort >"$scratch/exported"
if ! diff -u "$scratch/expected" "$scratch/exported"; then
    echo "the names exported by $library differ from $list"
    exit 1
fi
count=$(wc -l <"$scratch/exported")
echo "$count names exported, as listed"
[ "$count" -eq 20 ]
