"""Outlines in memory for the corpus tools: a tree of items read from and written to the outline
text format (runtime/outline_format.md) in its canonical form, so that a file written here and
saved again by the runtime has the same bytes.

Texts are Python strings of UTF-16 code units' worth of characters: a lone surrogate is kept as
it is and written as \\uXXXX, as the runtime writes it.
"""

import re

HEADER = "OUTLINE 1"
FLAG_ORDER = ("skip", "nodelete", "readonly")

# Content kinds, as the format spells them: a customizer attribute (@id), a named property
# (%name) and a DTDATA value ($index).
ATTRIBUTE, PROPERTY, DTDATA = "@", "%", "$"


class Item:
    """One item: type code, flags, text, content entries in their order, children."""

    __slots__ = ("type", "flags", "text", "contents", "children", "parent", "ident")

    def __init__(self, type_code, text="", flags=(), contents=None):
        self.type = type_code
        self.flags = tuple(flag for flag in FLAG_ORDER if flag in flags)
        self.text = text
        # [kind, key, value]: key is an int for attributes and DTDATA, a str for properties;
        # value is a str, or an int for DTDATA.
        self.contents = contents if contents is not None else []
        self.children = []
        self.parent = None
        self.ident = None  # free for the tools (the editor's identity of an item)

    def add(self, child, position=None):
        child.parent = self
        if position is None:
            self.children.append(child)
        else:
            self.children.insert(position, child)
        return child

    def content(self, kind, key):
        for entry in self.contents:
            if entry[0] == kind and entry[1] == key:
                return entry[2]
        return None

    def set_content(self, kind, key, value):
        """Sets a value where the item holds the key, else appends it, as the runtime's setters."""
        for entry in self.contents:
            if entry[0] == kind and entry[1] == key:
                entry[2] = value
                return
        self.contents.append([kind, key, value])

    def remove_content(self, kind, key):
        self.contents = [e for e in self.contents if not (e[0] == kind and e[1] == key)]

    def walk(self):
        """This item and every item below it, depth first, in order."""
        pending = [self]
        while pending:
            item = pending.pop()
            yield item
            pending.extend(reversed(item.children))

    def copy(self):
        """A deep copy; idents are kept, parents set."""
        twin = Item(self.type, self.text, self.flags, [list(e) for e in self.contents])
        twin.ident = self.ident
        stack = [(self, twin)]
        while stack:
            source, target = stack.pop()
            for child in source.children:
                copied = Item(child.type, child.text, child.flags, [list(e) for e in child.contents])
                copied.ident = child.ident
                target.add(copied)
                stack.append((child, copied))
        return twin

    def depth(self):
        depth, at = 0, self.parent
        while at is not None:
            depth, at = depth + 1, at.parent
        return depth


def count_items(root):
    return sum(1 for _ in root.walk())


# ---- writing ---------------------------------------------------------------------------------

_ESCAPES = {"\\": "\\\\", '"': '\\"', "\n": "\\n", "\r": "\\r", "\t": "\\t"}


def _escape_char(match):
    char = match.group(0)
    if char in _ESCAPES:
        return _ESCAPES[char]
    return "\\u%04X" % ord(char)


_NEEDS_ESCAPE = re.compile('[\\\\"\x00-\x1f\x7f\ud800-\udfff]')


def literal(text):
    """A text as the runtime writes it: escapes for \\, ", control characters, U+007F and every
    lone surrogate (a well-formed pair is one character in a Python string)."""
    return '"' + _NEEDS_ESCAPE.sub(_escape_char, text) + '"'


def format_outline(root):
    """The canonical text of an outline with this top item."""
    lines = [HEADER]
    stack = [(root, 0)]
    while stack:
        item, depth = stack.pop()
        indent = "  " * depth
        flags = " [" + ",".join(item.flags) + "]" if item.flags else ""
        lines.append("%s%d%s %s" % (indent, item.type, flags, literal(item.text)))
        inner = indent + "  "
        for kind, key, value in item.contents:
            if kind == ATTRIBUTE:
                lines.append("%s@%d %s" % (inner, key, literal(value)))
            elif kind == PROPERTY:
                lines.append("%s%%%s %s" % (inner, literal(key), literal(value)))
            else:
                lines.append("%s$%d %d" % (inner, key, value))
        for child in reversed(item.children):
            stack.append((child, depth + 1))
    return "\n".join(lines) + "\n"


def write_outline(root, path):
    with open(path, "w", encoding="utf-8", errors="surrogatepass", newline="\n") as out:
        out.write(format_outline(root))


# ---- reading ---------------------------------------------------------------------------------

_LITERAL = re.compile(r'"((?:[^"\\]|\\.)*)"')
_UNESCAPE = re.compile(r"\\(u[0-9A-Fa-f]{4}|.)")


def _unescape_match(match):
    code = match.group(1)
    if code[0] == "u":
        return chr(int(code[1:], 16))
    return {"\\": "\\", '"': '"', "n": "\n", "r": "\r", "t": "\t"}[code]


def _join_surrogates(text):
    # Two \u escapes that form a valid pair read as one character, as the runtime reads them.
    return text.encode("utf-16-le", "surrogatepass").decode("utf-16-le", "surrogatepass")


def parse_literal(source):
    return _join_surrogates(_UNESCAPE.sub(_unescape_match, source))


def _read_literal(line, at):
    match = _LITERAL.match(line, at)
    if match is None:
        raise ValueError("expected a literal in %r" % line)
    return parse_literal(match.group(1)), match.end()


def parse_outline(text):
    """The top item of an outline text. Accepts what the runtime writes and what this module
    writes (comments and blank lines are passed over); not a validator."""
    if text.startswith("\ufeff"):
        text = text[1:]
    lines = text.replace("\r\n", "\n").split("\n")
    if not lines or lines[0] != HEADER:
        raise ValueError("not an outline: the first line is not %r" % HEADER)
    root = None
    open_items = []  # the last item seen at each depth
    for line in lines[1:]:
        stripped = line.lstrip(" ")
        if not stripped or stripped.startswith(";"):
            continue
        depth = (len(line) - len(stripped)) // 2
        head = stripped[0]
        if head in "@%$":
            owner = open_items[depth - 1]
            if head == "@":
                number, rest = stripped[1:].split(" ", 1)
                owner.contents.append([ATTRIBUTE, int(number), _read_literal(rest, 0)[0]])
            elif head == "%":
                name, end = _read_literal(stripped, 1)
                owner.contents.append([PROPERTY, name, _read_literal(stripped, end + 1)[0]])
            else:
                index, value = stripped[1:].split(" ")
                owner.contents.append([DTDATA, int(index), int(value)])
            continue
        space = stripped.index(" ")
        type_code = int(stripped[:space])
        at = space + 1
        flags = ()
        if stripped[at] == "[":
            close = stripped.index("]", at)
            flags = tuple(stripped[at + 1:close].split(","))
            at = close + 2
        item = Item(type_code, _read_literal(stripped, at)[0], flags)
        del open_items[depth:]
        if depth == 0:
            root = item
        else:
            open_items[depth - 1].add(item)
        open_items.append(item)
    if root is None:
        raise ValueError("an outline without a root item")
    return root


def read_outline(path):
    with open(path, encoding="utf-8", errors="surrogatepass", newline="") as source:
        return parse_outline(source.read())


def normalized(item):
    """A comparable form of a subtree in which only the order of content lines is not kept: the
    runtime keeps the order in which contents were set, which an apply may choose otherwise."""
    return (
        item.type,
        item.flags,
        item.text,
        tuple(sorted((kind, str(key), str(value)) for kind, key, value in item.contents)),
        tuple(normalized(child) for child in item.children),
    )
