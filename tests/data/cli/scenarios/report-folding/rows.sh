#!/bin/sh
# The rows of the report page $1 whose texts match $2, each once, runs of rows numbered one
# after the other as "first .. last".
grep -o '>[^<>]*<' "$1" | sed 's/^>//; s/<$//' | grep -E "$2" | uniq | awk '
function flush() {
    if (have) print (first == last ? prefix first : prefix first " .. " last)
    have = 0
}
{
    if (match($0, /[0-9]+$/)) {
        p = substr($0, 1, RSTART - 1); n = substr($0, RSTART) + 0
        if (have && p == prefix && n == last + 1) { last = n; next }
        flush(); prefix = p; first = n; last = n; have = 1; next
    }
    flush(); print
}
END { flush() }'
