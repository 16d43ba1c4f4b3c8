#!/usr/bin/env python3
"""Properties of the norvex command over the corpus of real documents (bench/make_corpus.sh),
with seeded random edits (bench/edit_outline.py).

    corpus_properties.py diff_apply|merge|self_merge NORVEX CORPUS_DIR WORK_DIR

diff_apply  norvex diff OLD NEW --all -o X, then norvex apply OLD X: the result holds what NEW
            holds, but for changes that norvex diff names after its records (left out by the
            comparison's rules) or that norvex apply names ("norvex: not applied:", checked
            against NEW); apply then says how many and exits 1.
merge       norvex merge of two independent edits of one original: every change of either
            version is in the merged outline, or named by a listed conflict (or warning) on or
            above its item there, or by a "norvex: not merged:" line, which makes the exit
            status 1.
self_merge  norvex merge X X X gives X byte for byte, with no conflict, and exits 0.

By default each document is cut to its first QUICK_ITEMS items and edited once, so that the
three run in well under a minute. NORVEX_PROPERTY_ROUNDS=N edits each whole document N times
with other seeds. Seeds depend only on the document's name and the round: a failure repeats.

What the rules leave out and the command names is counted by kind and printed; a change that
breaks a property without a word fails the test with the document, the seed and the change.
"""

import difflib
import os
import re
import subprocess
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "bench"))
import edit_outline  # noqa: E402
import outline_doc  # noqa: E402
from outline_doc import ATTRIBUTE, DTDATA, PROPERTY, Item  # noqa: E402

QUICK_ITEMS = 4000
IGNORED_TYPES = {176, 177, 178, 220, 302}
COMPARED_DTDATA = 39

# What norvex apply is known to leave out, by the rule that explains it: each now named by its
# own check of the output ("norvex: not applied:" lines), and counted by that rule.
APPLY_LOSSES = {
    "comma": "a property value cut at its first comma",
    "property-removed": "a property that NEW removed, kept",
    "added-dtdata": "DTDATA at indexes other than 39 of an added item, dropped",
    "ignored-shift": "items placed one position off after an item of an ignored type that "
    "takes a position in the keys of NEW's section (and what lies below them)",
    "hidden-in-added": "a skipped item or one of an ignored type inside an added item, left "
    "out (the latter becomes an item of type -1 with an empty text)",
}

OTHER_CHANGES = {"content": "other contents", "items": "items", "hidden": "items passed over",
                 "top": "the top item"}

class Failure(Exception):
    pass


def run(command, check_status=(0, 1)):
    result = subprocess.run(command, capture_output=True, text=True, errors="surrogateescape")
    if result.returncode not in check_status:
        raise Failure(
            "%s exited %d\n%s%s" % (" ".join(command), result.returncode, result.stdout[-2000:],
                                    result.stderr[-2000:])
        )
    return result


def trimmed(root, limit):
    """The first limit items of an outline in walk order, with their ancestors."""
    copy = Item(root.type, root.text, root.flags, [list(e) for e in root.contents])
    budget = [limit - 1]
    stack = [(root, copy)]
    while stack and budget[0] > 0:
        source, target = stack.pop()
        added = []
        for child in source.children:
            if budget[0] <= 0:
                break
            budget[0] -= 1
            twin = target.add(Item(child.type, child.text, child.flags,
                                   [list(e) for e in child.contents]))
            added.append((child, twin))
        stack.extend(reversed(added))
    return copy


# ---- naming items as the command does ---------------------------------------------------------

CONFLICT_MARK = "#### DIFF: Conflict "
COMMENT_ITEM_TYPE = 188
LONE_SURROGATE = re.compile("[\ud800-\udfff]")


def path_piece(text, ordinal=0):
    """One step of an item path: the text on one line, cut to 40 characters, quoted where it
    could be misread (empty, holding " > " or a quote, a blank at either end, ending like
    "x[2]"), and followed by "[N]" for the Nth of several siblings of the same text."""
    line = LONE_SURROGATE.sub("\ufffd", text.replace("\r", "").replace("\n", "\\n"))
    if len(line) > 40:
        line = line[:40] + "..."
    if (not line or " > " in line or '"' in line or line[0] == " " or line[-1] == " "
            or (line[-1] == "]" and "[" in line)):
        line = '"' + line.replace("\\", "\\\\").replace('"', '\\"') + '"'
    return line + ("[%d]" % ordinal if ordinal else "")


def conflict_own_text(text):
    """The item's own text before a conflict banner or marker, or None when it holds none."""
    at = text.find(CONFLICT_MARK)
    if at < 0:
        return None
    return text[:at - 3] if text[:at].endswith(" ! ") else text[:at]


class PathNamer:
    """Item paths of one outline as the command prints them. In a merge's result (merged), an
    item with a conflict banner is named by its own text and takes no place among its
    same-text siblings, nor does the item before a comment item that holds one."""

    def __init__(self, merged=False):
        self.merged = merged
        self.places = {}  # id(item) -> (item, ordinal), filled a section at a time

    def _read_section(self, parent):
        texts, marked = [], set()
        for k, child in enumerate(parent.children):
            own = conflict_own_text(child.text) if self.merged else None
            texts.append(child.text if own is None else own)
            if own is not None:
                marked.add(k)
                if child.type == COMMENT_ITEM_TYPE and k > 0:
                    marked.add(k - 1)
        counts, seen = {}, {}
        for k, text in enumerate(texts):
            if k not in marked:
                counts[text] = counts.get(text, 0) + 1
        for k, (child, text) in enumerate(zip(parent.children, texts)):
            ordinal = 0
            if k not in marked and counts[text] > 1:
                seen[text] = ordinal = seen.get(text, 0) + 1
            self.places[id(child)] = (child, path_piece(text, ordinal))

    def piece(self, item):
        if item.parent is None:
            own = conflict_own_text(item.text) if self.merged else None
            return path_piece(item.text if own is None else own)
        known = self.places.get(id(item))
        if known is None or known[0] is not item:
            self._read_section(item.parent)
            known = self.places[id(item)]
        return known[1]

    def path(self, item):
        pieces = []
        while item is not None:
            pieces.append(self.piece(item))
            item = item.parent
        return " > ".join(reversed(pieces))


def item_path(item):
    """The path of an item of an outline that no merge wrote (no cache: for a few items)."""
    return PathNamer().path(item)


def names_at_or_above(named_paths, path):
    """Whether one of the named paths is path itself or one of its ancestors."""
    for named in named_paths:
        if path == named or path.startswith(named + " > "):
            return True
    return False


def opens_with_ancestor(lines, path):
    """Whether a line opens with path or one of its ancestors, followed by ": "."""
    pieces = path.split(" > ")
    for line in lines:
        for end in range(len(pieces), 0, -1):
            if line.startswith(" > ".join(pieces[:end]) + ": "):
                return True
    return False


def names_a_move_below(lines, path):
    """Whether a line names a move of one of path's children: their order is the section's."""
    for line in lines:
        if line.startswith(path + " > "):
            rest = line[len(path) + 3:]
            step = rest.split(": ", 1)[0]
            if " > " not in step and rest[len(step):].startswith(": moved"):
                return True
    return False


def names_in_like_section(loose_lines, item, is_section):
    """Whether a line (its path without ordinals) names the section of item, where siblings
    share a text, or something in it: item's parent's, or with is_section item's own."""
    section = item if is_section else item.parent
    if section is None:
        return False
    texts = [c.text for c in section.children]
    if len(texts) == len(set(texts)):
        return False
    path = text_path(section)
    return any(line == path or line.startswith(path + " > ") or line.startswith(path + ": ")
               for line in loose_lines)


def index_by_ident(root):
    return {item.ident: item for item in root.walk()}


def content_map(item, skip_tag=False):
    return {
        (kind, key): value
        for kind, key, value in item.contents
        if not (skip_tag and kind == ATTRIBUTE and key == edit_outline.TAG_ATTRIBUTE)
    }


def content_label(kind, key):
    return {ATTRIBUTE: "attribute %s", PROPERTY: "property %s", DTDATA: "DTDATA %s"}[kind] % key


# ---- diff and apply ---------------------------------------------------------------------------

def content_gap(kind, key, held, wanted):
    """The known loss of norvex apply (APPLY_LOSSES) that explains why the applied outline
    holds held where NEW holds wanted (None for absent), or None."""
    if kind == PROPERTY and wanted is not None and "," in wanted and held == wanted.split(",")[0]:
        return "comma"
    if kind == PROPERTY and wanted is None:
        return "property-removed"
    if kind == DTDATA and key != COMPARED_DTDATA and held is None:
        return "added-dtdata"
    return None


class Difference:
    """A way in which the applied outline differs from NEW: kind ("top", "hidden", "content",
    "items" or a known gap), the paths by which norvex diff may name it (NEW's and OLD's), the
    paths by which norvex apply may name it (the applied outline's, or NEW's for an item that
    only NEW holds), the label of a content change, and texts by which apply may name an item
    of NEW in a line about its section (a text changed into it)."""

    def __init__(self, kind, diff_paths, apply_paths, label="", mentions=(), sections=()):
        self.kind, self.diff_paths, self.apply_paths = kind, diff_paths, apply_paths
        self.label, self.mentions, self.sections = label, mentions, sections


def hidden(item):
    return item.type in IGNORED_TYPES or "skip" in item.flags


def differences_after_apply(result, new, old):
    """The differences between the applied outline and NEW, which hold the same items in the
    same order but for what the rules leave out, as Difference values. Where the items of a
    section differ, each item that does not stand in both is one difference, and the items
    that stand in both are compared below."""
    names = {"result": PathNamer(), "new": PathNamer(), "old": PathNamer()}
    old_items = index_by_ident(old)
    found = []

    def twin_paths(item):
        twin = old_items.get(item.ident)
        return [names["new"].path(item)] + ([names["old"].path(twin)] if twin else [])

    if (result.type, result.text, result.flags) != (new.type, new.text, new.flags):
        found.append(Difference("top", [names["new"].path(new)], [names["result"].path(result)]))
    pending = [(result, new, False)]
    while pending:
        held, wanted, shifted = pending.pop()
        shifted = shifted or any(c.type in IGNORED_TYPES for c in wanted.children)
        visible = []
        for child in wanted.children:
            if hidden(child):
                found.append(Difference("hidden", twin_paths(child), [names["new"].path(child)]))
            else:
                visible.append(child)
        placeholders = [c for c in held.children if c.type == -1 and c.text == ""]
        for child in placeholders:
            found.append(Difference("hidden-in-added", [names["result"].path(child)],
                                    [names["result"].path(child)]))
        kept = [c for c in held.children if c not in placeholders]
        pairs = []
        key = lambda c: (c.type, c.text, c.flags)  # noqa: E731
        matcher = difflib.SequenceMatcher(None, [key(c) for c in kept],
                                          [key(c) for c in visible], autojunk=False)
        lone_held, lone_wanted = [], []
        for tag, i1, i2, j1, j2 in matcher.get_opcodes():
            if tag == "equal":
                pairs.extend(zip(kept[i1:i2], visible[j1:j2]))
                continue
            lone_held.extend(kept[i1:i2])
            lone_wanted.extend(visible[j1:j2])
            if tag == "replace" and i2 - i1 == j2 - j1:
                pairs.extend(zip(kept[i1:i2], visible[j1:j2]))  # a text or type changed
        if lone_held or lone_wanted:
            kind = "ignored-shift" if shifted else "items"
            # An item that stands elsewhere in the section has moved: apply names it where it
            # stands in the applied outline.
            for child in lone_held:
                found.append(Difference(kind, [], [names["result"].path(child)]))
            moved = {key(c) for c in lone_held}
            section = [names["result"].path(held), names["new"].path(wanted)]
            for child in lone_wanted:
                if key(child) not in moved:
                    found.append(Difference(kind, [], [names["new"].path(child)],
                                            mentions=[OneLine(child.text)], sections=section))
        pending.extend((a, b, shifted) for a, b in pairs)
        if held is result:
            continue
        before, after = content_map(held), content_map(wanted)
        for content_key in set(before) | set(after):
            if before.get(content_key) == after.get(content_key):
                continue
            gap = content_gap(content_key[0], content_key[1], before.get(content_key),
                              after.get(content_key))
            if gap is None and shifted:
                gap = "ignored-shift"
            found.append(Difference(gap or "content", twin_paths(wanted),
                                    [names["result"].path(held)], content_label(*content_key)))
    return found


def OneLine(text):  # noqa: N802 (as the command's own)
    return text.replace("\r", "").replace("\n", "\\n")


NOT_APPLIED = "norvex: not applied: "


def not_applied_lines(stderr):
    return [line[len(NOT_APPLIED):] for line in stderr.split("\n") if line.startswith(NOT_APPLIED)]


def what_after(body, path):
    """What a "PATH: what" line says of the item at path, or None when it names another."""
    return body[len(path) + 2:] if body.startswith(path + ": ") else None


def apply_names(lines, difference):
    """Whether a "not applied" line of norvex apply names the difference."""
    label = difference.label
    for body in lines:
        for path in difference.apply_paths:
            what = what_after(body, path)
            if what is not None and (not label or what.startswith(label + ":")
                                     or what.startswith(label + " ")):
                return True
        if any(body.startswith(section + " > ") for section in difference.sections) and any(
                '"%s"' % text in body for text in difference.mentions):
            return True
    return False


def left_out_lines(stdout):
    lines = stdout.split("\n")
    for k, line in enumerate(lines):
        if line.startswith("left out by the comparison's rules:"):
            return [entry for entry in lines[k + 1:] if entry[:2] in ("~ ", "+ ", "- ", "> ")]
    return []


def diff_names(lines, difference):
    """Whether a left-out line of norvex diff names the difference: a hidden item or the top
    item by its path, a content change by its label in the same section (the command names the
    item of the first outline that the comparison paired with it, which may be a sibling of the
    same text)."""
    paths = difference.diff_paths
    sections = {path.rsplit(" > ", 1)[0] for path in paths}
    for line in lines:
        body = line[2:]
        if difference.kind in ("hidden", "top"):
            if any(body.startswith(path + "  ") for path in paths):
                return True
            continue
        if not difference.label or (" " + difference.label + ":" not in body
                                    and " " + difference.label + " " not in body):
            continue
        named = body.split("  ", 1)[0]
        if named.rsplit(" > ", 1)[0] in sections:
            return True
    return False


def check_diff_apply(norvex, name, document, seed, work, notes):
    old = document
    edit_outline.number_items(old)
    new = old.copy()
    edits = max(4, min(40, outline_doc.count_items(old) // 150))
    log = edit_outline.edit_outline(new, seed, edits, "v1", hidden=True)
    old_path, new_path = os.path.join(work, "old.outline"), os.path.join(work, "new.outline")
    compare, patched = os.path.join(work, "change.cmp"), os.path.join(work, "patched.outline")
    outline_doc.write_outline(old, old_path)
    outline_doc.write_outline(new, new_path)
    diff = run([norvex, "diff", old_path, new_path, "--all", "-o", compare])
    apply = run([norvex, "apply", old_path, compare, "-o", patched])
    result = outline_doc.read_outline(patched)
    check_applied(result, new, old, diff, apply, "%s, seed %d, %d edits" % (name, seed, len(log)),
                  notes)


def count(notes, what, by=1):
    notes[what] = notes.get(what, 0) + by


def check_applied(result, new, old, diff, apply, where, notes):
    found = differences_after_apply(result, new, old)
    lines = left_out_lines(diff.stdout)
    unapplied = not_applied_lines(apply.stderr)
    added = [line[2:].split("  ", 1)[0] for line in diff.stdout.split("\n")
             if line.startswith("+ ") and line not in lines]
    # apply names what it did not carry over, and then it says how many and exits 1.
    summary = re.search(r"^norvex: .* does not hold ([0-9]+) changes? of ", apply.stderr, re.M)
    if (apply.returncode == 1) != bool(unapplied) or (
            unapplied and (summary is None or int(summary.group(1)) != len(unapplied))):
        raise Failure("%s: norvex apply exits %d with %d changes named as not applied and says "
                      "%r" % (where, apply.returncode, len(unapplied),
                              summary.group(0) if summary else None))
    if unapplied and not found:
        count(notes, "apply names a difference that the test does not see (the order of "
              "hidden siblings, contents)", len(unapplied))
    for difference in found:
        kind = difference.kind
        if kind == "hidden" and not diff_names(lines, difference) and any(
                difference.diff_paths[0].startswith(path + " > ") for path in added):
            kind = "hidden-in-added"
        if diff_names(lines, difference):
            count(notes, "changes left out, named by norvex diff")
        elif apply_names(unapplied, difference):
            count(notes, "changes not applied, named by norvex apply: %s"
                  % APPLY_LOSSES.get(kind, OTHER_CHANGES.get(kind, kind)))
        else:
            raise Failure("%s: the applied outline lacks a change that neither norvex diff nor "
                          "norvex apply names: %s %s at %s" % (
                              where, kind, difference.label, difference.apply_paths[0]))
    if found and diff.returncode != 1:
        raise Failure("%s: norvex diff exits %d with changes left out" % (where, diff.returncode))


# ---- merge ------------------------------------------------------------------------------------

def merge_report(stdout, stderr):
    """The paths that numbered conflicts and warnings name, with the "near here" markers listed
    under them or alone, and the not-merged lines by version."""
    marked, unmerged = [], {1: [], 2: []}
    for line in stdout.split("\n"):
        for word in ("conflict ", "warning "):
            if line.startswith(word) and " at " in line:
                marked.append(line.split(" at ", 1)[1].rsplit(": (", 1)[0])
        if line.startswith("    near here: ") and line.endswith(" copy)"):
            marked.append(line[len("    near here: "):].rsplit(" (", 1)[0])
        elif line.startswith("near here at "):
            marked.append(line[len("near here at "):].rsplit(": ", 1)[0])
    for line in stderr.split("\n"):
        if line.startswith("norvex: not merged: ") and line.endswith(" (neither version)"):
            # what the result holds from neither version: it may be either's change gone astray
            for number in (1, 2):
                unmerged[number].append(line[len("norvex: not merged: "):])
        elif line.startswith("norvex: not merged: ") and line.endswith(")"):
            # "PATH: what changed (version N)"; what changed may hold ": " too
            unmerged[int(line[-2])].append(line[len("norvex: not merged: "):])
    return marked, unmerged


def tags_of(root):
    by_tag = {}
    for item in root.walk():
        tag = item.content(ATTRIBUTE, edit_outline.TAG_ATTRIBUTE)
        if tag is not None:
            by_tag.setdefault(tag, []).append(item)
    return by_tag


def changes_of(base, version):
    """What version changed from base, by the items' identities: (kind, ident, detail)."""
    in_base, in_version = index_by_ident(base), index_by_ident(version)
    changes = []
    for ident, item in in_version.items():
        twin = in_base.get(ident)
        if twin is None:
            if item.parent is not None and item.parent.ident in in_base:
                changes.append(("insert", ident, None))
            continue
        if item.text != twin.text:
            changes.append(("text", ident, None))
        before, after = content_map(twin, True), content_map(item, True)
        for key in set(before) | set(after):
            if before.get(key) != after.get(key):
                changes.append(("content", ident, key))
        order = [c.ident for c in item.children if c.ident in in_base]
        original = [c.ident for c in twin.children if c.ident in in_version]
        if order != original:
            changes.append(("order", ident, None))
    for ident, twin in in_base.items():
        if ident not in in_version and twin.parent is not None and twin.parent.ident in in_version:
            changes.append(("delete", ident, None))
    return changes


def held_by_merge(kind, ident, key, version, base, other, merged_tags):
    """Whether the merged outline holds a version's change."""
    tag = str(ident)
    in_version = index_by_ident(version) if kind != "delete" else None
    if kind == "delete":
        return tag not in merged_tags
    item = in_version[ident]
    found = merged_tags.get(tag, [])
    if kind == "insert":
        return any(m.text == item.text for m in found)
    if kind == "text":
        return any(m.text == item.text for m in found)
    if kind == "content":
        wanted = content_map(item, True).get(key)
        return any(content_map(m, True).get(key) == wanted for m in found)
    if kind == "order":
        theirs = index_by_ident(other).get(ident)
        original = index_by_ident(base)[ident]
        if theirs is None or [c.ident for c in theirs.children] != [c.ident for c in original.children]:
            return True  # both changed that section: the order merge decides, nothing to hold
        order = [str(c.ident) for c in item.children]
        texts = {str(c.ident): (c.type, c.text) for c in item.children}
        for m in found:
            # a conflict's copies and banners stand beside the items, not in their order
            merged_order = [
                c.content(ATTRIBUTE, edit_outline.TAG_ATTRIBUTE) for c in m.children
                if c.content(ATTRIBUTE, edit_outline.TAG_ATTRIBUTE) in order and
                conflict_own_text(c.text) is None
            ]
            kept = [t for t in order if t in merged_order]
            # siblings of equal type and text cannot be told apart: their order is held when
            # the texts stand in the version's order
            if [texts[t] for t in merged_order] == [texts[t] for t in kept]:
                return True
        return False
    raise ValueError(kind)


ORDINAL = re.compile(r"\[[0-9]+\](?= > |$)")


def text_path(item):
    """An item's path by its texts alone: the same for siblings of equal text."""
    pieces = []
    while item is not None:
        pieces.append(path_piece(item.text))
        item = item.parent
    return " > ".join(reversed(pieces))


CONFLICT_NUMBER = re.compile(CONFLICT_MARK + "([0-9]*)")


def conflicts_over(item):
    """The numbers of the conflict banners on a merged item and its ancestors (a banner in a
    comment item speaks of the item before it); "" for a "near here" marker."""
    numbers = set()
    while item is not None:
        found = CONFLICT_NUMBER.search(item.text)
        siblings = item.parent.children if item.parent is not None else []
        at = siblings.index(item) if siblings else -1
        if found is None and 0 <= at < len(siblings) - 1 and \
                siblings[at + 1].type == COMMENT_ITEM_TYPE:
            found = CONFLICT_NUMBER.search(siblings[at + 1].text)
        if found is not None:
            numbers.add(found.group(1))
        item = item.parent
    return numbers


def merged_twins(items, merged_tags):
    """The items of the merged outline that stand for the nearest of items (an item of the
    original or of a version) or of their ancestors that it holds, found by their tags."""
    for item in items:
        while item is not None:
            found = merged_tags.get(str(item.ident))
            if found:
                return found
            item = item.parent
    return []


def check_merge(norvex, name, document, seed, round_number, work, notes):
    base = document
    edit_outline.number_items(base)
    edit_outline.tag_items(base)
    versions = []
    edits = max(4, min(30, outline_doc.count_items(base) // 200))
    for number, tag in ((1, "v1"), (2, "v2")):
        version = base.copy()
        edit_outline.edit_outline(version, seed + number, edits, tag, hidden=True, tags=True)
        versions.append(version)
    paths = [os.path.join(work, "%s.outline" % n) for n in ("base", "version1", "version2")]
    for root, path in zip([base] + versions, paths):
        outline_doc.write_outline(root, path)
    merged_path = os.path.join(work, "merged.outline")
    options = ["--all"] if round_number % 2 == 0 else []
    result = run([norvex, "merge"] + paths + ["-o", merged_path] + options)
    merged = outline_doc.read_outline(merged_path)
    marked, unmerged = merge_report(result.stdout, result.stderr)
    # The conflicts listed by number; a "near here" marker belongs to a listed one.
    numbers = set(re.findall(r"^conflict ([0-9]+) at ", result.stdout, re.M)) | {""}
    where = "%s, seed %d, %s" % (name, seed, " ".join(options) or "no options")
    if (marked or unmerged[1] or unmerged[2]) and result.returncode != 1:
        raise Failure("%s: norvex merge exits %d with conflicts or changes not merged"
                      % (where, result.returncode))
    merged_tags = tags_of(merged)
    merged_names = PathNamer(merged=True)
    loose_marked = [ORDINAL.sub("", path) for path in marked]
    loose_lines = loose_marked + [ORDINAL.sub("", line) for n in (1, 2) for line in unmerged[n]]
    base_items = index_by_ident(base)
    for number, version in ((1, versions[0]), (2, versions[1])):
        other = versions[1] if number == 1 else versions[0]
        version_items = index_by_ident(version)
        for kind, ident, key in changes_of(base, version):
            if held_by_merge(kind, ident, key, version, base, other, merged_tags):
                continue
            items = [i for i in (version_items.get(ident), base_items.get(ident)) if i]
            places = [item_path(i) for i in items]
            twins = merged_twins(items, merged_tags)
            if any(names_at_or_above(marked, merged_names.path(m)) or
                   conflicts_over(m) & numbers for m in twins) or any(
                       opens_with_ancestor(unmerged[number], p) or
                       (kind == "order" and names_a_move_below(unmerged[number], p))
                       for p in places):
                notes["changes not merged, named"] = notes.get("changes not merged, named", 0) + 1
                continue
            # Siblings of equal text are paired by their places: the command may name a new text
            # where it pairs the version's item, with another original item.
            text = '"%s"' % OneLine(version_items[ident].text) if kind in ("insert", "text") \
                else None
            if text and any(text in line for line in unmerged[number]):
                count(notes, "changes not merged, named by their new text at another place")
                continue
            # The merge tells siblings of equal text apart by their places too: a conflict at one
            # of them, or above one, may be its view of this item.
            if any(names_at_or_above(loose_marked, text_path(i)) for i in items):
                count(notes, "changes not merged, named by a conflict at a sibling of equal text")
                continue
            # Siblings of equal text that the merge paired by place and the command tells apart
            # by their contents: a line of the command names one of them, or what lies below
            # one, and sends the reader to the section.
            if any(names_in_like_section(loose_lines, i, kind == "order") for i in items):
                count(notes, "changes not merged, named in their section of siblings of equal text")
                continue
            raise Failure("%s: a change of version %d is lost without a word: %s of %s%s"
                          % (where, number, kind, places[0] if places else ident,
                             " (%s)" % content_label(*key) if key else ""))


def check_self_merge(norvex, name, document, seed, round_number, work, notes):
    path = os.path.join(work, "self.outline")
    outline_doc.write_outline(document, path)
    merged = os.path.join(work, "self-merged.outline")
    options = ["--all"] if round_number % 2 == 0 else []
    result = run([norvex, "merge", path, path, path, "-o", merged] + options, check_status=(0,))
    with open(path, "rb") as a, open(merged, "rb") as b:
        if a.read() != b.read():
            raise Failure("%s: merging it with itself twice changed it" % name)
    if not result.stdout.startswith("merged into %s: 0 conflicts, 0 warnings" % merged):
        raise Failure("%s: merging it with itself twice says %r" % (name, result.stdout[:200]))


def main():
    if len(sys.argv) != 5 or sys.argv[1] not in ("diff_apply", "merge", "self_merge"):
        print(__doc__, file=sys.stderr)
        return 2
    prop, norvex, corpus, work = sys.argv[1:]
    rounds_setting = os.environ.get("NORVEX_PROPERTY_ROUNDS", "")
    rounds = int(rounds_setting) if rounds_setting else 1
    quick = not rounds_setting
    names = sorted(n for n in os.listdir(corpus) if n.endswith(".outline") and
                   not n.startswith("scaled-")) if os.path.isdir(corpus) else []
    if not names:
        print("no corpus in %s: run bench/make_corpus.sh %s" % (corpus, corpus), file=sys.stderr)
        return 1
    work = os.path.join(work, prop)
    os.makedirs(work, exist_ok=True)
    notes, failures, cases = {}, [], 0
    for name in names:
        document = outline_doc.read_outline(os.path.join(corpus, name))
        if quick:
            document = trimmed(document, QUICK_ITEMS)
        for round_number in range(rounds):
            seed = zlib.crc32(name.encode()) % 100000 * 100 + round_number * 7
            try:
                if prop == "diff_apply":
                    check_diff_apply(norvex, name, document.copy(), seed, work, notes)
                elif prop == "merge":
                    check_merge(norvex, name, document.copy(), seed, round_number, work, notes)
                else:
                    check_self_merge(norvex, name, document, seed, round_number, work, notes)
            except Failure as failure:
                failures.append(str(failure))
                print("FAILED: %s" % failure)
            cases += 1
    for what, number in sorted(notes.items()):
        print("%s: %d" % (what, number))
    print("%s over %d documents%s: %d passed, %d failed"
          % (prop, len(names), " (first %d items each)" % QUICK_ITEMS if quick else
             ", %d rounds" % rounds, cases - len(failures), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
