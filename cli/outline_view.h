// cli/outline_view.h
//
// What the command reads of an outline for its reports, through the runtime's operations only:
// an outline opened for the length of a command, the runtime's strings, the texts of items,
// and an item's path by the texts of the items above it.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "cli/handle_map.h"
#include "cli/terminal_text.h"
#include "runtime/brimrt63.h"

// An outline opened from a file and closed again at the end of its scope.
class OpenedOutline {
public:
    explicit OpenedOutline(const std::string& path) { Open(path); }
    // Not open until Open is called: so that several outlines can be opened at once.
    OpenedOutline() = default;
    ~OpenedOutline();
    OpenedOutline(const OpenedOutline&) = delete;
    OpenedOutline& operator=(const OpenedOutline&) = delete;

    // Opens the outline at path; once only.
    void Open(const std::string& path);
    bool IsOpen() const { return handle_ != 0; }
    OutlineHandle Handle() const { return handle_; }
    // Why the outline did not open, as "file:line:column: message" where the runtime knows.
    const std::string& Error() const { return error_; }

private:
    OutlineHandle handle_ = 0;
    std::string error_;
};

// The views of an outline's items for a walk in the order their lines stand (an item, its
// children, then its next sibling or that of the nearest item above with one), asked of the
// runtime a run at a time instead of one call an item.
class ItemViewWalk {
public:
    explicit ItemViewWalk(OutlineHandle outline) : outline_(outline) {}
    // The view of item; null for a bad handle. Good until the next call. Asked in the order
    // of the lines (the walker follows the views' neighbours), it comes from the run at hand;
    // any other item starts a new run.
    const ItemView* View(ItemHandle item) {
        if (next_ == count_ || views_[next_].item != item) {
            count_ = ViewItemRun(outline_, item, views_, kRunLength);
            next_ = 0;
            if (count_ <= 0) {
                count_ = 0;
                return nullptr;
            }
        }
        return &views_[next_++];
    }

private:
    // Views a call asks for: enough to make the call's own cost small beside the views'.
    static constexpr int32_t kRunLength = 256;
    OutlineHandle outline_;
    ItemView views_[kRunLength];
    int32_t count_ = 0;
    int32_t next_ = 0;
};

// A runtime string as terminal text (TerminalFromWide); the string is released here. Empty for
// string 0.
std::string TakeRuntimeString(StringHandle string);
// The stored text of item, its line breaks shown as "\n"; empty for item 0.
std::string ItemText(OutlineHandle outline, ItemHandle item);
// The stored text of item as it is, line breaks kept (a page shows them as breaks); empty for
// item 0.
std::string StoredText(OutlineHandle outline, ItemHandle item);
// The name of an item type ("Procedure"), or "type N" when the runtime has none.
std::string TypeName(int32_t type);
// "Inventory > CountStock > Helper": the texts from the root down to item, each a PathPiece;
// "(none)" for item 0.
std::string ItemPath(OutlineHandle outline, ItemHandle item);

// ItemPath for many items of one outline, which reads each section's texts once.
class PathNamer {
public:
    explicit PathNamer(OutlineHandle outline) : outline_(outline) {}
    std::string Path(ItemHandle item);
    // item's own step of its path: PathPiece with its place among same-text siblings.
    std::string Piece(ItemHandle item);
    // The sibling before item, 0 for the first (or the top item).
    ItemHandle PreviousSibling(ItemHandle item);

private:
    struct Place {
        int sameTextOrdinal;  // among its siblings of the same text (1, 2, ...), 0: it has none
        ItemHandle previous;
    };
    const Place& PlaceOf(ItemHandle item);
    // A sibling's text as it prints, for finding the siblings of one text.
    struct SiblingText {
        size_t hash;
        WideView text;
        size_t place;  // among the siblings
    };

    OutlineHandle outline_;
    HandleMap<Place> places_;       // by item, for each section read
    HandleMap<bool> sectionsRead_;  // by parent
    // Room for reading a section, kept from one to the next.
    std::vector<ItemHandle> children_;
    std::vector<SiblingText> byText_;
    std::vector<int> ordinals_;
    std::deque<WideText> printedForms_;
    // The parent of the item named last, and its path.
    ItemHandle lastParent_ = 0;
    std::string lastParentPath_;
};
// A stored text on one line: each line break shown as "\n", carriage returns left out.
std::string OneLine(const std::string& text);
// One step of such a path from an item's stored text: on one line, cut to 40 characters;
// quoted (with \" and \\ inside) when it is empty, holds the separator " > " or a quote, has
// blanks at either end, or ends like a position; and followed by "[N]" when sameTextOrdinal
// is not 0: the item is the Nth of its siblings that have its text.
std::string PathPiece(const std::string& storedText, int sameTextOrdinal = 0);
// Whether PathPiece cuts the text: a report then prints it whole on a line of its own.
bool PathPieceCuts(const std::string& storedText);
// Items below item, all levels, skipped ones included.
long CountBelow(OutlineHandle outline, ItemHandle item);
// The value of an item's attribute, the name and value of its n-th named property, the value of
// a DTDATA slot; empty (or "none") when it has none.
std::string AttributeValue(OutlineHandle outline, ItemHandle item, uint32_t id);
std::string PropertyName(OutlineHandle outline, ItemHandle item, int32_t index);
std::string PropertyValue(OutlineHandle outline, ItemHandle item, const std::string& name);
std::string DTDataValue(OutlineHandle outline, ItemHandle item, int32_t index);
