# Names that are not UTF-8: the outlines' folder and every file in it.
d=$(printf 'd\351\377') b=$(printf 'b\351.outline') v1=$(printf 'v\3771.outline')
v2=$(printf 'v2\351\377.outline') x=$(printf 'x\351.outline') c=$(printf 'c\351.cmp')
r=$(printf 'r\377.html') p=$(printf 'p\377.outline') m=$(printf 'm\351\377.outline')
