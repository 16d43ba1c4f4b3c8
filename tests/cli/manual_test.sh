#!/bin/sh
# The manual pages render (man -l) with each subcommand's own options, and the bash completion
# offers the subcommands and a subcommand's options. Usage: manual_test.sh MAN_FOLDER SOURCE_DIR
set -eu
pages=$1 source=$2
fail() { echo "FAILED: $*" >&2; exit 1; }
for page in norvex norvex-diff norvex-show norvex-apply norvex-merge norvex-merge-driver \
    norvex-git-diff norvex-check; do
    text=$(MANWIDTH=100 man -l "$pages/$page.1" 2>&1) || fail "man -l $page.1"
    echo "$text" | grep -q "^NAME" || fail "$page.1 has no NAME section"
done
MANWIDTH=100 man -l "$pages/norvex-diff.1" | grep -q -- "--word-diff" || fail "norvex-diff.1 lacks --word-diff"
MANWIDTH=100 man -l "$pages/norvex-check.1" | grep -q -- "--allow-conflicts" || fail "norvex-check.1 lacks --allow-conflicts"
MANWIDTH=100 man -l "$pages/norvex.1" | grep -q "merge-driver" || fail "norvex.1 lacks the subcommands"
offered=$(bash -c ". '$source/cli/norvex-completion.bash'; COMP_WORDS=(norvex me); COMP_CWORD=1; _norvex; echo \${COMPREPLY[*]}")
[ "$offered" = "merge merge-driver" ] || fail "completion of 'me' gave '$offered'"
offered=$(bash -c ". '$source/cli/norvex-completion.bash'; COMP_WORDS=(norvex check --al); COMP_CWORD=2; _norvex; echo \${COMPREPLY[*]}")
[ "$offered" = "--allow-conflicts" ] || fail "completion of 'check --al' gave '$offered'"
echo "manual pages and completion: ok"
