#!/usr/bin/env python3
"""Seeded random edits of an outline, as a person would make them, and what was done.

    bench/edit_outline.py INPUT -o OUTPUT [--seed N] [--edits N] [--tag v1] [--log LOG.json]
                          [--hidden]

Edits: a text changed (one word replaced by a marker), an item inserted (with a child or two
and some contents), an item deleted with what is below it, an item moved among its siblings,
and contents changed: a named property set, changed or removed, an attribute set, changed or
removed, a DTDATA value set, changed or removed. With --hidden, now and then a subtree is
inserted that the comparison passes over (an item of an ignored type, or a skipped one). Every
new text and value carries a marker unique to the run ("v1.17": the tag and the edit's number),
so each edit can be found again. No section grows past 999 items, and no property value gets a
comma.

Each item keeps an identity (Item.ident) through the edits: base items are numbered in their
order, inserted ones are named by the marker of the edit that made them. The log (JSON) lists
each edit with its kind, the item's identity and its path of texts.
"""

import argparse
import json
import os
import random
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import outline_doc  # noqa: E402
from outline_doc import ATTRIBUTE, DTDATA, PROPERTY, Item  # noqa: E402

SECTION_LIMIT = 999
IGNORED_TYPES = (176, 177, 178, 220, 302)
# Attribute ids the edits use: plain customizer attributes (429 to 431 mark inherited contents,
# which the merge treats apart), and never TAG_ATTRIBUTE.
ATTRIBUTE_IDS = (501, 502, 503, 601)
TAG_ATTRIBUTE = 1
DTDATA_INDEXES = (39, 39, 39, 5)
PROPERTY_NAMES = ("Caption", "note", "lang", "owner")

WEIGHTS = (
    ("text", 30),
    ("insert", 20),
    ("delete", 12),
    ("move", 13),
    ("content", 25),
)


def number_items(root, start=0):
    """Gives every item an identity in walk order; answers the next free number."""
    for number, item in enumerate(root.walk(), start):
        item.ident = number
    return start + sum(1 for _ in root.walk())


def tag_items(root):
    """Writes each item's identity into attribute TAG_ATTRIBUTE, so that it can be read back
    from a file that a command wrote (the merge's result)."""
    for item in root.walk():
        item.set_content(ATTRIBUTE, TAG_ATTRIBUTE, str(item.ident))


def path_of(item):
    texts = []
    while item is not None:
        texts.append(item.text)
        item = item.parent
    return list(reversed(texts))


def at_most(item, limit):
    """Whether the subtree of item holds at most limit items, without walking all of a big one."""
    for count, _ in enumerate(item.walk(), 1):
        if count > limit:
            return False
    return True


class Editor:
    def __init__(self, root, seed, tag="v1", hidden=False, tags=False):
        self.root = root
        self.rng = random.Random(seed)
        self.tag = tag
        self.hidden = hidden
        self.tags = tags
        self.count = 0
        self.log = []
        # Every item that was ever in the tree; a deleted one stays here and is passed over
        # when drawn, so that no edit walks the whole tree again.
        self.items = list(self.root.walk())

    def attached(self, item):
        while item.parent is not None:
            item = item.parent
        return item is self.root

    def marker(self):
        return "%s.%d" % (self.tag, self.count)

    def pick(self, accept=lambda item: True, tries=40):
        for _ in range(tries):
            item = self.items[self.rng.randrange(len(self.items))]
            if item is not self.root and self.attached(item) and accept(item):
                return item
        return None

    def edit(self, count):
        kinds = [kind for kind, _ in WEIGHTS]
        weights = [weight for _, weight in WEIGHTS]
        misses = 0
        while self.count < count and misses < 200:
            kind = self.rng.choices(kinds, weights)[0]
            if self.hidden and self.rng.random() < 0.04:
                kind = "hide"
            self.count += 1
            done = getattr(self, "_" + kind)()
            if done is None:
                self.count -= 1  # nothing fit: draw again
                misses += 1
            else:
                misses = 0
        return self.log

    def _record(self, kind, item, **details):
        entry = {"edit": self.marker(), "kind": kind, "ident": item.ident, "path": path_of(item)}
        entry.update(details)
        self.log.append(entry)
        return entry

    # ---- the edits ---------------------------------------------------------------------------

    def _text(self):
        item = self.pick()
        if item is None:
            return None
        words = item.text.split(" ")
        if len(words) > 1 and self.rng.random() < 0.7:
            words[self.rng.randrange(len(words))] = self.marker()
            text = " ".join(words)
        else:
            text = item.text + " " + self.marker() if item.text else self.marker()
        old, item.text = item.text, text
        return self._record("text", item, old=old, new=text)

    def _new_item(self, type_code, text):
        item = Item(type_code, text)
        item.ident = "%s+%d" % (self.tag, self.count)
        return item

    def _subtree(self, parent):
        """A new item like its future siblings, with a child or two and some contents."""
        siblings = parent.children
        model = siblings[self.rng.randrange(len(siblings))] if siblings else None
        type_code = model.type if model is not None else 9
        item = self._new_item(type_code, "new " + self.marker())
        if self.rng.random() < 0.5:
            item.set_content(DTDATA, 39, self.rng.randrange(-1000, 100000))
        if self.rng.random() < 0.3:
            item.set_content(PROPERTY, "note", "added " + self.marker())
        for k in range(self.rng.choice((0, 0, 1, 2))):
            child = self._new_item(9, "line %d of %s" % (k + 1, self.marker()))
            child.ident += ".%d" % k
            item.add(child)
        return item

    def _insert_at(self, parent, item):
        position = self.rng.randrange(len(parent.children) + 1)
        parent.add(item, position)
        if self.tags:
            for below in item.walk():
                below.set_content(ATTRIBUTE, TAG_ATTRIBUTE, str(below.ident))
        self.items.extend(item.walk())
        return position

    def _insert(self):
        parent = self.pick(lambda item: item.children and len(item.children) < SECTION_LIMIT)
        if parent is None:
            return None
        item = self._subtree(parent)
        position = self._insert_at(parent, item)
        return self._record("insert", item, position=position)

    def _hide(self):
        """A subtree that the comparison passes over: an item of an ignored type or a skipped
        item, with a child."""
        parent = self.pick(lambda item: item.children and len(item.children) < SECTION_LIMIT)
        if parent is None:
            return None
        if self.rng.random() < 0.5:
            item = self._new_item(self.rng.choice(IGNORED_TYPES), "hidden " + self.marker())
        else:
            item = self._new_item(9, "skipped " + self.marker())
            item.flags = ("skip",)
        child = self._new_item(9, "inside " + self.marker())
        child.ident += ".0"
        item.add(child)
        position = self._insert_at(parent, item)
        return self._record("hide", item, position=position)

    def _delete(self):
        item = self.pick(lambda item: at_most(item, 40))
        if item is None:
            return None
        entry = self._record("delete", item)
        item.parent.children.remove(item)
        item.parent = None
        return entry

    def _move(self):
        item = self.pick(lambda item: len(item.parent.children) > 1)
        if item is None:
            return None
        siblings = item.parent.children
        old = siblings.index(item)
        siblings.pop(old)
        new = self.rng.randrange(len(siblings) + 1)
        siblings.insert(new, item)
        if new == old:
            return None
        return self._record("move", item, old=old, new=new)

    def _content(self):
        item = self.pick()
        if item is None:
            return None
        kind = self.rng.choice((PROPERTY, PROPERTY, ATTRIBUTE, DTDATA, DTDATA))
        if kind == PROPERTY:
            keys = [e[1] for e in item.contents if e[0] == PROPERTY]
            key = self.rng.choice(keys) if keys and self.rng.random() < 0.7 else None
            key = key or self.rng.choice(PROPERTY_NAMES)
            value = "value " + self.marker()
        elif kind == ATTRIBUTE:
            keys = [e[1] for e in item.contents if e[0] == ATTRIBUTE and e[1] != TAG_ATTRIBUTE]
            key = self.rng.choice(keys) if keys and self.rng.random() < 0.7 else None
            key = key or self.rng.choice(ATTRIBUTE_IDS)
            value = "attribute " + self.marker()
        else:
            key = self.rng.choice(DTDATA_INDEXES)
            value = self.rng.randrange(-(2**31), 2**31)
        old = item.content(kind, key)
        if old is not None and self.rng.random() < 0.2:
            item.remove_content(kind, key)
            return self._record("content", item, content=kind, key=key, old=old, new=None)
        item.set_content(kind, key, value)
        return self._record("content", item, content=kind, key=key, old=old, new=value)


def edit_outline(root, seed, count, tag="v1", hidden=False, tags=False):
    """Edits root in place; answers the log."""
    return Editor(root, seed, tag, hidden, tags).edit(count)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("input")
    parser.add_argument("-o", "--output", required=True)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--edits", type=int, default=20)
    parser.add_argument("--tag", default="v1", help="marker of new texts and values")
    parser.add_argument("--log", help="where to write the list of edits (JSON)")
    parser.add_argument("--hidden", action="store_true",
                        help="also insert subtrees that the comparison passes over")
    args = parser.parse_args()
    root = outline_doc.read_outline(args.input)
    number_items(root)
    log = edit_outline(root, args.seed, args.edits, args.tag, args.hidden)
    outline_doc.write_outline(root, args.output)
    if args.log:
        with open(args.log, "w", encoding="utf-8") as out:
            json.dump(log, out, ensure_ascii=False, indent=1)


if __name__ == "__main__":
    main()
