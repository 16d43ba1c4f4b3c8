// cli/page_cells.h
//
// How a row of a report page reads, on the diff page and the merge page alike: an item's cell
// (the name of its type, then its text), the badges after a text, the row that stands for
// folded items, and the hint under a page's header.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "cli/html_page.h"
#include "runtime/brimrt63.h"

// "1 item", "3 items": the count, then the word, in the plural unless the count is 1.
std::string Plural(long count, const char* word);

// The names of item types as TypeName gives them, each asked of the runtime once per page.
class TypeNames {
public:
    const std::string& Of(int32_t type);

private:
    std::unordered_map<int32_t, std::string> names_;
};

// A cell of class "cell side" ("old", "new", "merged"): the type's name, then the text, which
// is HTML already.
std::string Cell(const char* side, const std::string& typeName, const std::string& textHtml);
// A badge after a text, the text escaped.
std::string Badge(const std::string& text);
// The badge "N nouns below" of a row whose children the page leaves out: on a page past
// kLargestWholePage, a row that lists no children although item has visible ones. Empty for
// every other row.
std::string BelowBadge(OutlineHandle outline, ItemHandle item, bool listed, bool wholePage,
                       const char* noun);
// The row that stands for folded items, its text ("12 unchanged items") in a cell of its own.
PageRow FoldedRow(const std::string& text);
// The hint under a page's header: the keys that move between its stops (stopName: "change",
// "comment"), or noStops, a sentence, on a page without any.
std::string MoveHint(bool hasStops, const char* stopName, const char* noStops);
