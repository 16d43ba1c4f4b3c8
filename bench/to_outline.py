#!/usr/bin/env python3
"""Turns a JSON or XML document into an outline, for tests and benchmarks on real shapes.

    bench/to_outline.py INPUT -o OUTPUT.outline [--max-section N] [--name TEXT]

The top item (type 174, its text the document's name) holds the document. JSON: an object
member is an item whose text is its key, a scalar value an item of its own below it; arrays and
objects are items, their elements and members their children. XML: an element is an item named
by its tag as written, its attributes are named properties in their order, each run of text
(trimmed of the indentation around it) and each comment is an item below it. A number is also
kept as DTDATA at index 39, the one index that comparisons and merges look at: its value cut to
an integer, where it fits in 32 bits.

Item types come from the library's type table, so that every item is compared and none is of
an ignored type, and so that no type has fixed children (an apply would overwrite such a child
instead of adding one):

    174  object, element, the document        a unit: merge conflicts are settled there
    287  array, and a group of a long section  paired by equal text only, never by similarity
     12  object key with a scalar value
      9  scalar value, text of an element
    188  XML comment

A section (the children of one item) holds at most 999 items, since keys give each position
three digits. A longer one is split into groups of at most 999 (items of type 287 named
"items 1-999", "items 1000-1998", ...), nested where needed; --max-section 0 keeps sections
whole, for tests of what the command does past the limit.
"""

import argparse
import json
import math
import os
import re
import sys
import xml.parsers.expat

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import outline_doc  # noqa: E402
from outline_doc import DTDATA, PROPERTY, Item  # noqa: E402

UNIT = 174
ARRAY = 287
KEY = 12
VALUE = 9
COMMENT = 188
GROUP = ARRAY

SECTION_LIMIT = 999
DTDATA_INDEX = 39
INT32 = (-(2**31), 2**31 - 1)


class Number(str):
    """A JSON number as written in the document."""


def number_value(text):
    """The DTDATA value of a number's text, or None: cut to an integer, within 32 bits."""
    try:
        value = float(text)
    except ValueError:
        return None
    if not math.isfinite(value):
        return None
    value = int(value)
    return value if INT32[0] <= value <= INT32[1] else None


def scalar_item(value):
    if value is None:
        return Item(VALUE, "null")
    if value is True or value is False:
        return Item(VALUE, "true" if value else "false")
    if isinstance(value, Number):
        item = Item(VALUE, str(value))
        number = number_value(value)
        if number is not None:
            item.set_content(DTDATA, DTDATA_INDEX, number)
        return item
    return Item(VALUE, value)


def json_item(value, text):
    """The item of a JSON value: text is its key, or None for an array element."""
    if isinstance(value, dict):
        item = Item(UNIT, "{}" if text is None else text)
        for key, member in value.items():
            if isinstance(member, (dict, list)):
                item.add(json_item(member, key))
            else:
                holder = item.add(Item(KEY, key))
                holder.add(scalar_item(member))
        return item
    if isinstance(value, list):
        item = Item(ARRAY, "[]" if text is None else text)
        for element in value:
            item.add(json_item(element, None))
        return item
    if text is None:
        return scalar_item(value)
    holder = Item(KEY, text)
    holder.add(scalar_item(value))
    return holder


def from_json(data, name):
    value = json.loads(
        data.decode("utf-8-sig"), parse_int=Number, parse_float=Number, parse_constant=Number
    )
    root = Item(UNIT, name)
    if isinstance(value, dict):
        for key, member in value.items():
            root.add(json_item(member, key))
    elif isinstance(value, list):
        for element in value:
            root.add(json_item(element, None))
    else:
        root.add(scalar_item(value))
    return root


def from_xml(data, name):
    root = Item(UNIT, name)
    stack = [root]
    pending = []  # character data not yet flushed into an item

    def flush():
        text = "".join(pending).strip()
        pending.clear()
        if text:
            item = stack[-1].add(Item(VALUE, text))
            number = number_value(text) if _looks_numeric(text) else None
            if number is not None:
                item.set_content(DTDATA, DTDATA_INDEX, number)

    def start(tag, attributes):
        flush()
        item = stack[-1].add(Item(UNIT, tag))
        # ordered_attributes: a flat list name, value, name, value
        for k in range(0, len(attributes), 2):
            item.contents.append([PROPERTY, attributes[k], attributes[k + 1]])
        stack.append(item)

    def end(tag):
        flush()
        stack.pop()

    def comment(text):
        flush()
        stack[-1].add(Item(COMMENT, text.strip()))

    parser = xml.parsers.expat.ParserCreate()
    parser.ordered_attributes = True
    parser.buffer_text = True
    parser.StartElementHandler = start
    parser.EndElementHandler = end
    parser.CharacterDataHandler = pending.append
    parser.CommentHandler = comment
    parser.Parse(data, True)
    return root


def repair_ampersands(data):
    """A bare "&" (iso_3166-2.xml has "Enewetak & Ujelang") as the entity it stands for."""
    return re.sub(rb"&(?!#?[0-9A-Za-z]+;)", b"&amp;", data)


def _looks_numeric(text):
    return len(text) < 24 and text.lstrip("-+").replace(".", "", 1).isdigit()


def split_sections(root, limit=SECTION_LIMIT):
    """Puts the children of every section longer than limit into groups of at most limit."""
    if limit <= 0:
        return root
    for item in list(root.walk()):
        children = item.children
        while len(children) > limit:
            groups = []
            for start in range(0, len(children), limit):
                part = children[start:start + limit]
                first = start + 1
                if part and part[0].type == GROUP and part[0].text.startswith("items "):
                    # a group of groups: name it by the range of the items it holds
                    first = int(part[0].text.split()[1].split("-")[0])
                group = Item(GROUP, "items %d-%d" % (first, first + _span(part) - 1))
                for child in part:
                    group.add(child)
                groups.append(group)
            item.children = []
            for group in groups:
                item.add(group)
            children = item.children
    return root


def _span(part):
    """How many items of the original section a run of items or groups stands for."""
    total = 0
    for child in part:
        if child.type == GROUP and child.text.startswith("items "):
            low, high = child.text.split()[1].split("-")
            total += int(high) - int(low) + 1
        else:
            total += 1
    return total


def convert(path, name=None, max_section=SECTION_LIMIT, kind=None):
    with open(path, "rb") as source:
        data = source.read()
    name = name or os.path.basename(path)
    if kind is None:
        kind = "xml" if data.lstrip()[:1] == b"<" else "json"
    if kind == "json":
        root = from_json(data, name)
    else:
        try:
            root = from_xml(data, name)
        except xml.parsers.expat.ExpatError:
            root = from_xml(repair_ampersands(data), name)
    return split_sections(root, max_section)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("input")
    parser.add_argument("-o", "--output", required=True)
    parser.add_argument("--name", help="the top item's text (default: the input's file name)")
    parser.add_argument("--format", choices=("json", "xml"), help="default: from the first byte")
    parser.add_argument("--max-section", type=int, default=SECTION_LIMIT)
    args = parser.parse_args()
    root = convert(args.input, args.name, args.max_section, args.format)
    outline_doc.write_outline(root, args.output)


if __name__ == "__main__":
    main()
