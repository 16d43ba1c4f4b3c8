// cli/merge_annotations.cpp: the merge's comments in a merged outline, listed.
#include "cli/merge_annotations.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <utility>

#include "cli/merge_comments.h"
#include "cli/outline_view.h"

namespace {

Annotation MakeNote(const MergeComment& comment, const std::string& path) {
    Annotation note;
    note.conflict = comment.conflict;
    note.number = comment.number;
    note.description = SummarizeMergeMessage(comment.listedMessage);
    note.path = path;
    return note;
}

// Whether two items hold the same contents of one kind, each in its order.
bool SameContents(const PlainItem& a, const PlainItem& b, ContentKind kind) {
    std::vector<const ContentEntry*> first, second;
    for (const ContentEntry& entry : a.contents) {
        if (entry.kind == kind) first.push_back(&entry);
    }
    for (const ContentEntry& entry : b.contents) {
        if (entry.kind == kind) second.push_back(&entry);
    }
    if (first.size() != second.size()) return false;
    for (size_t k = 0; k < first.size(); ++k) {
        if (!SameContentKey(*first[k], *second[k]) || first[k]->value != second[k]->value) {
            return false;
        }
    }
    return true;
}

// For a conflict on an item's text whose two versions kept the same text, what does differ
// between them: the rules name the text all the same.
std::string WhatDiffers(const PlainTree& merged, const Annotation& note) {
    if (note.copies[1] == kNoPlainItem || note.copies[2] == kNoPlainItem) return std::string();
    const PlainItem& first = merged.items[static_cast<size_t>(note.copies[1])];
    const PlainItem& second = merged.items[static_cast<size_t>(note.copies[2])];
    if (first.text != second.text) return std::string();
    std::vector<std::string> parts;
    bool childrenEqual = first.children.size() == second.children.size();
    for (size_t k = 0; childrenEqual && k < first.children.size(); ++k) {
        childrenEqual = SubtreesEqual(merged, first.children[k], merged, second.children[k]);
    }
    if (!childrenEqual) parts.push_back("items below");
    if (!SameContents(first, second, ContentKind::kAttribute)) parts.push_back("attributes");
    if (!SameContents(first, second, ContentKind::kProperty)) parts.push_back("properties");
    if (!SameContents(first, second, ContentKind::kDTData)) parts.push_back("DTDATA");
    if (first.type != second.type) parts.push_back("types");
    if (parts.empty()) return " (both versions have the same text)";
    std::string joined;
    for (size_t k = 0; k < parts.size(); ++k) {
        joined += (k == 0 ? "" : k + 1 == parts.size() ? " and " : ", ") + parts[k];
    }
    return " (both versions have the same text; their " + joined + " differ)";
}

}  // namespace

bool MayHoldMergeComments(OutlineHandle outline) {
    // Depth first in the order the items stand, a run of items a runtime call: down to the
    // first child, on to the next sibling, back up along the path when a section ends. The
    // texts are read in place.
    std::vector<ItemHandle> nextSiblings;  // of the items on the path from the top down
    ItemViewWalk walk(outline);
    for (ItemHandle item = GetRootItem(outline); item != 0;) {
        const ItemView* shown = walk.View(item);
        if (shown == nullptr) break;
        const ItemView& view = *shown;
        if (view.text != nullptr && HoldsMergeMark(view.text, static_cast<size_t>(view.textLength)))
            return true;
        if (view.firstChild != 0) {
            nextSiblings.push_back(nextSiblings.empty() ? 0 : view.nextSibling);
            item = view.firstChild;
            continue;
        }
        item = nextSiblings.empty() ? 0 : view.nextSibling;
        while (item == 0 && !nextSiblings.empty()) {
            item = nextSiblings.back();
            nextSiblings.pop_back();
        }
    }
    return false;
}

std::vector<Annotation> FindAnnotations(const PlainTree& merged) {
    std::vector<Annotation> found;
    std::map<std::string, size_t> byNumber;
    // For each item, the conflict whose copy encloses it (an index into found) and the copy's
    // source; items come after their parents, so a parent's entry is always set.
    std::vector<std::pair<int, int>> enclosing(merged.items.size(), {-1, -1});
    for (size_t index = 0; index < merged.items.size(); ++index) {
        const PlainItem& item = merged.items[index];
        if (item.parent != kNoPlainItem)
            enclosing[index] = enclosing[static_cast<size_t>(item.parent)];
        // Most texts hold no mark: they are passed over without being made a line of their own.
        MergeComment comment;
        if (!item.holdsMergeMark ||
            !ReadMergeComment(ItemText(merged.outline, item.handle), &comment)) {
            continue;
        }
        // A comment item speaks of the item before it, or of its parent when it comes first.
        bool onComment = item.type == kCommentItemType;
        int subject = static_cast<int>(index);
        if (onComment) {
            const PlainItem& parent = merged.items[static_cast<size_t>(item.parent)];
            subject = item.position > 0 ? parent.children[static_cast<size_t>(item.position - 1)]
                                        : item.parent;
        }
        std::string path = PlainPath(merged, onComment ? item.parent : static_cast<int>(index));
        if (onComment && comment.listedOwnText && item.position > 0) {
            path += " > " + PathPiece(*comment.listedOwnText);
        }
        if (comment.conflict && comment.number.empty()) {
            int owner = enclosing[index].first;
            if (owner >= 0) {
                found[static_cast<size_t>(owner)].nearHere.push_back(
                    {path, enclosing[index].second});
                continue;
            }
            found.push_back(MakeNote(comment, path));
            continue;
        }
        std::string key = (comment.conflict ? "C" : "W") + comment.number;
        auto known = byNumber.find(key);
        size_t at = known != byNumber.end() ? known->second : found.size();
        if (known == byNumber.end()) {
            byNumber[key] = at;
            found.push_back(MakeNote(comment, path));
        }
        if (comment.conflict && comment.source >= 0 && comment.source <= 2 && !onComment) {
            Annotation& note = found[at];
            if (note.copies[comment.source] == kNoPlainItem) note.copies[comment.source] = subject;
            enclosing[index] = {static_cast<int>(at), comment.source};
        }
    }
    return found;
}

void PrintAnnotations(const PlainTree& merged, const std::vector<Annotation>& notes,
                      const std::string& prefix) {
    for (const Annotation& note : notes) {
        const char* kind = note.conflict ? "conflict" : "warning";
        if (note.number.empty()) {
            std::printf("%snear here at %s: %s\n", prefix.c_str(), note.path.c_str(),
                        note.description.c_str());
            continue;
        }
        bool onText = note.description.find("item text") != std::string::npos;
        std::string extra = note.conflict && onText ? WhatDiffers(merged, note) : std::string();
        std::printf("%s%s %s at %s: %s%s\n", prefix.c_str(), kind, note.number.c_str(),
                    note.path.c_str(), note.description.c_str(), extra.c_str());
        // The markers of one place in both copies read as one line.
        std::vector<std::pair<std::string, std::set<int>>> places;
        for (const NearHere& marker : note.nearHere) {
            auto place = std::find_if(places.begin(), places.end(), [&marker](const auto& known) {
                return known.first == marker.path;
            });
            if (place == places.end()) place = places.insert(places.end(), {marker.path, {}});
            place->second.insert(marker.source);
        }
        for (const auto& [path, sources] : places) {
            int source = *sources.begin();
            std::string where = sources.size() > 1 ? "in both versions' copies"
                                : source > 0 ? "in version " + std::to_string(source) + "'s copy"
                                             : "in the original's copy";
            std::printf("%s    near here: %s (%s)\n", prefix.c_str(), path.c_str(), where.c_str());
        }
    }
}

unsigned CountNumbered(const std::vector<Annotation>& notes, bool conflicts) {
    unsigned count = 0;
    for (const Annotation& note : notes) {
        if (note.conflict == conflicts && !note.number.empty()) ++count;
    }
    return count;
}

nlohmann::json AnnotationsJson(const PlainTree& merged, const std::vector<Annotation>& notes) {
    nlohmann::json document = {{"version", 1},
                               {"conflicts", nlohmann::json::array()},
                               {"warnings", nlohmann::json::array()}};
    for (const Annotation& note : notes) {
        nlohmann::json entry = {
            {"number",
             note.number.empty() ? nlohmann::json() : nlohmann::json(std::stoi(note.number))},
            {"description", note.description},
            {"path", note.path}};
        if (note.conflict) {
            bool onText = note.description.find("item text") != std::string::npos;
            std::string differs = onText ? WhatDiffers(merged, note) : std::string();
            if (!differs.empty()) entry["differs"] = differs.substr(2, differs.size() - 3);
            entry["near_here"] = nlohmann::json::array();
            for (const NearHere& marker : note.nearHere) {
                entry["near_here"].push_back(
                    {{"path", marker.path},
                     {"copy",
                      marker.source > 0 ? nlohmann::json(marker.source) : nlohmann::json()}});
            }
            document["conflicts"].push_back(entry);
        } else {
            document["warnings"].push_back(entry);
        }
    }
    return document;
}
