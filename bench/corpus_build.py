#!/usr/bin/env python3
"""The conversion and scaling steps of bench/make_corpus.sh.

    corpus_build.py convert OUTPUT_DIR NAME SOURCE [NAME SOURCE ...]
    corpus_build.py scale OUTPUT_DIR ITEMS SEED
"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import edit_outline  # noqa: E402
import outline_doc  # noqa: E402
import to_outline  # noqa: E402
from outline_doc import Item  # noqa: E402


def convert(output, pairs):
    failed = 0
    for name, source in zip(pairs[0::2], pairs[1::2]):
        target = os.path.join(output, name + ".outline")
        if not os.path.exists(source):
            print("make_corpus.sh: %s: no such file in its package" % source, file=sys.stderr)
            failed = 1
            continue
        if os.path.exists(target) and os.path.getmtime(target) >= os.path.getmtime(source):
            continue
        root = to_outline.convert(source, name)
        temporary = target + ".tmp"
        outline_doc.write_outline(root, temporary)
        os.replace(temporary, target)
    return failed


def corpus_files(output):
    return sorted(
        os.path.join(output, name)
        for name in os.listdir(output)
        if name.endswith(".outline") and not name.startswith("scaled-")
    )


def scale(output, items, seed):
    """The corpus repeated under one top item until it holds at least items items."""
    documents = [outline_doc.read_outline(path) for path in corpus_files(output)]
    if not documents:
        print("make_corpus.sh: no documents to scale in %s" % output, file=sys.stderr)
        return 1
    root = Item(to_outline.UNIT, "corpus x%d" % items)
    total, copy = 1, 0
    while total < items:
        for document in documents:
            twin = document.copy()
            twin.text = "%s (copy %d)" % (document.text, copy + 1)
            root.add(twin)
            total += outline_doc.count_items(twin)
            if total >= items:
                break
        copy += 1
    to_outline.split_sections(root)
    base = os.path.join(output, "scaled-%d" % items)
    outline_doc.write_outline(root, base + ".outline")
    edits = max(10, total // 1000)
    for tag, offset in (("v1", 0), ("v2", 1)):
        version = root.copy()
        edit_outline.number_items(version)
        edit_outline.edit_outline(version, seed * 2 + offset, edits, tag)
        outline_doc.write_outline(version, "%s.%s.outline" % (base, tag))
    print("%s.outline: %d items; versions v1 and v2 with %d edits each" % (base, total, edits))
    return 0


def main():
    if len(sys.argv) >= 3 and sys.argv[1] == "convert":
        return convert(sys.argv[2], sys.argv[3:])
    if len(sys.argv) == 5 and sys.argv[1] == "scale":
        return scale(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]))
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main())
