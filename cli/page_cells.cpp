// cli/page_cells.cpp: the cells, badges and hints of the report pages' rows.
#include "cli/page_cells.h"

#include "cli/outline_view.h"
#include "cli/page_folding.h"

std::string Plural(long count, const char* word) {
    return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

const std::string& TypeNames::Of(int32_t type) {
    auto known = names_.find(type);
    if (known != names_.end()) return known->second;
    return names_.emplace(type, TypeName(type)).first->second;
}

std::string Cell(const char* side, const std::string& typeName, const std::string& textHtml) {
    return std::string("<span class=\"cell ") + side + "\"><span class=\"type\">" +
           EscapeHtml(typeName) + "</span> " + textHtml + "</span>";
}

std::string Badge(const std::string& text) {
    return " <span class=\"badge\">" + EscapeHtml(text) + "</span>";
}

std::string BelowBadge(OutlineHandle outline, ItemHandle item, bool listed, bool wholePage,
                       const char* noun) {
    if (wholePage || listed || !HasVisibleChildren(outline, item)) return std::string();
    return Badge(Plural(CountVisibleBelow(outline, item, kNoLimit), noun) + " below");
}

PageRow FoldedRow(const std::string& text) {
    PageRow row;
    row.classes = "folded-run";
    row.contentHtml = "<span class=\"cell\">" + EscapeHtml(text) + "</span>";
    return row;
}

std::string MoveHint(bool hasStops, const char* stopName, const char* noStops) {
    if (!hasStops) return std::string("<p class=\"hint\">") + noStops + "</p>\n";
    return std::string("<p class=\"hint\">Press <kbd>n</kbd> or <kbd>j</kbd> for the next ") +
           stopName +
           ", <kbd>p</kbd> or <kbd>k</kbd> for the previous one. "
           "<span id=\"position\"></span></p>\n";
}
