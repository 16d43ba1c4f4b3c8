// cli/outline_view.cpp: reading outlines for the command's reports.
#include "cli/outline_view.h"

#include <algorithm>
#include <deque>
#include <string_view>
#include <vector>

#include "cli/terminal_text.h"

namespace {

constexpr size_t kPathPieceLength = 40;

// At most limit characters (not bytes: a UTF-8 sequence is never cut), "..." marking a cut.
std::string Shortened(const std::string& text, size_t limit) {
    size_t characters = 0;
    for (size_t k = 0; k < text.size(); ++k) {
        if ((static_cast<unsigned char>(text[k]) & 0xC0) == 0x80) continue;
        if (characters == limit) return text.substr(0, k) + "...";
        ++characters;
    }
    return text;
}

bool IsSurrogate(WCHAR unit) { return unit >= 0xD800 && unit <= 0xDFFF; }

// The text with each lone surrogate read as U+FFFD, as the terminal text of a report shows it,
// so that two texts are alike here exactly when they print alike. A text without surrogates,
// nearly every one, is its own form; another form is kept in forms.
WideView PrintedForm(WideView text, std::deque<WideText>* forms) {
    if (std::none_of(text.begin(), text.end(), IsSurrogate)) return text;
    WideText form(text);
    for (size_t k = 0; k < form.size(); ++k) {
        bool paired = form[k] >= 0xD800 && form[k] <= 0xDBFF && k + 1 < form.size() &&
                      form[k + 1] >= 0xDC00 && form[k + 1] <= 0xDFFF;
        if (paired) {
            ++k;
        } else if (IsSurrogate(form[k])) {
            form[k] = 0xFFFD;
        }
    }
    forms->push_back(std::move(form));
    return forms->back();
}

}  // namespace

void OpenedOutline::Open(const std::string& path) {
    WideText wide = WideFromName(path);
    handle_ = OpenOutline(reinterpret_cast<const WCHAR*>(wide.c_str()));
    if (handle_ != 0) return;
    WCHAR reason[1024] = {};
    int32_t length = GetOutlineError(reason, 1024);
    error_ = length > 0
                 ? MessageFromWide(reason, static_cast<size_t>(length < 1023 ? length : 1023))
                 : path + ": cannot be opened";
}

OpenedOutline::~OpenedOutline() {
    if (handle_ != 0) CloseOutline(handle_);
}

std::string TakeRuntimeString(StringHandle string) {
    int32_t length = 0;
    const WCHAR* text = string != 0 ? GetStringText(string, &length) : nullptr;
    std::string result = text != nullptr && length > 0
                             ? TerminalFromWide(text, static_cast<size_t>(length))
                             : std::string();
    if (string != 0) FreeString(string);
    return result;
}

std::string ItemText(OutlineHandle outline, ItemHandle item) {
    return OneLine(StoredText(outline, item));
}

std::string StoredText(OutlineHandle outline, ItemHandle item) {
    if (item == 0) return std::string();
    // Read in place: no runtime string is made for it.
    ItemView view;
    if (ViewItem(outline, item, &view) == 0 || view.textLength == 0) return std::string();
    return TerminalFromWide(view.text, static_cast<size_t>(view.textLength));
}

std::string TypeName(int32_t type) {
    StringHandle name = 0;
    GetItemTypeName(type, &name);
    std::string text = TakeRuntimeString(name);
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text.empty() ? "type " + std::to_string(type) : text;
}

std::string ItemPath(OutlineHandle outline, ItemHandle item) {
    return PathNamer(outline).Path(item);
}

std::string PathNamer::Path(ItemHandle item) {
    if (item == 0) return "(none)";
    ItemHandle parent = GetParentItem(outline_, item);
    if (parent == 0) return Piece(item);
    // Paths are mostly asked in the order of the outline, siblings one after another: the
    // parent's path is kept for the next.
    if (parent != lastParent_) {
        std::vector<std::string> pieces;
        for (ItemHandle at = parent; at != 0; at = GetParentItem(outline_, at)) {
            pieces.push_back(Piece(at));
        }
        lastParentPath_.clear();
        for (auto piece = pieces.rbegin(); piece != pieces.rend(); ++piece) {
            if (!lastParentPath_.empty()) lastParentPath_ += " > ";
            lastParentPath_ += *piece;
        }
        lastParent_ = parent;
    }
    return lastParentPath_ + " > " + Piece(item);
}

ItemHandle PathNamer::PreviousSibling(ItemHandle item) { return PlaceOf(item).previous; }

std::string PathNamer::Piece(ItemHandle item) {
    return PathPiece(StoredText(outline_, item), PlaceOf(item).sameTextOrdinal);
}

const PathNamer::Place& PathNamer::PlaceOf(ItemHandle item) {
    static const Place kTop = {0, 0};
    ItemHandle parent = GetParentItem(outline_, item);
    if (parent == 0) return kTop;
    if (sectionsRead_.Find(parent) == nullptr) {
        sectionsRead_.Insert(parent, true);
        // The texts are compared in place, as they print (PrintedForm), not converted first.
        // Sorted by a hash of their text, the text and their place, the siblings of one text
        // stand together in their order, and each takes its rank among them.
        children_.clear();
        byText_.clear();
        printedForms_.clear();
        ItemView view;
        for (ItemHandle child = GetFirstChild(outline_, parent); child != 0;
             child = view.nextSibling) {
            if (ViewItem(outline_, child, &view) == 0) break;
            WideView text = PrintedForm(WideView(view.text, static_cast<size_t>(view.textLength)),
                                        &printedForms_);
            byText_.push_back({std::hash<WideView>()(text), text, children_.size()});
            children_.push_back(child);
        }
        std::sort(byText_.begin(), byText_.end(), [](const SiblingText& a, const SiblingText& b) {
            if (a.hash != b.hash) return a.hash < b.hash;
            if (a.text != b.text) return a.text < b.text;
            return a.place < b.place;
        });
        ordinals_.assign(children_.size(), 0);
        for (size_t k = 0; k < byText_.size();) {
            size_t end = k + 1;
            while (end < byText_.size() && byText_[end].hash == byText_[k].hash &&
                   byText_[end].text == byText_[k].text) {
                ++end;
            }
            for (size_t n = k; end - k > 1 && n < end; ++n) {
                ordinals_[byText_[n].place] = static_cast<int>(n - k + 1);
            }
            k = end;
        }
        ItemHandle previous = 0;
        for (size_t k = 0; k < children_.size(); ++k) {
            places_.Insert(children_[k], {ordinals_[k], previous});
            previous = children_[k];
        }
    }
    const Place* known = places_.Find(item);
    return known != nullptr ? *known : kTop;
}

std::string OneLine(const std::string& text) {
    std::string line;
    for (char letter : text) {
        if (letter == '\n') {
            line += "\\n";
        } else if (letter != '\r') {
            line.push_back(letter);
        }
    }
    return line;
}

std::string PathPiece(const std::string& storedText, int sameTextOrdinal) {
    std::string piece = Shortened(OneLine(storedText), kPathPieceLength);
    bool endsLikePosition =
        !piece.empty() && piece.back() == ']' && piece.find('[') != std::string::npos;
    bool quoted = piece.empty() || piece.find(" > ") != std::string::npos ||
                  piece.find('"') != std::string::npos || piece.front() == ' ' ||
                  piece.back() == ' ' || endsLikePosition;
    if (quoted) {
        std::string escaped = "\"";
        for (char letter : piece) {
            if (letter == '"' || letter == '\\') escaped.push_back('\\');
            escaped.push_back(letter);
        }
        piece = escaped + "\"";
    }
    if (sameTextOrdinal > 0) piece += "[" + std::to_string(sameTextOrdinal) + "]";
    return piece;
}

bool PathPieceCuts(const std::string& storedText) {
    std::string line = OneLine(storedText);
    return Shortened(line, kPathPieceLength) != line;
}

long CountBelow(OutlineHandle outline, ItemHandle item) {
    long count = 0;
    std::vector<ItemHandle> pending = {item};
    while (!pending.empty()) {
        ItemHandle at = pending.back();
        pending.pop_back();
        for (ItemHandle child = GetFirstChild(outline, at); child != 0;
             child = GetNextSibling(outline, child)) {
            ++count;
            pending.push_back(child);
        }
    }
    return count;
}

std::string AttributeValue(OutlineHandle outline, ItemHandle item, uint32_t id) {
    StringHandle value = 0;
    if (item == 0 || GetItemAttribute(outline, item, id, 0, &value) == 0) {
        if (value != 0) FreeString(value);
        return std::string();
    }
    return OneLine(TakeRuntimeString(value));
}

std::string PropertyName(OutlineHandle outline, ItemHandle item, int32_t index) {
    if (item == 0) return std::string();
    ListHandle list = CreateList(5);
    std::string name;
    if (ListNamedProperties(outline, item, list) > index) {
        StringHandle text = 0;
        if (GetListString(list, &text, index) != 0) name = TakeRuntimeString(text);
    }
    DestroyList(list);
    return name;
}

std::string PropertyValue(OutlineHandle outline, ItemHandle item, const std::string& name) {
    if (item == 0 || name.empty()) return std::string();
    WideText wide = WideFromTerminal(name);
    StringHandle value = 0;
    if (GetNamedProperty(outline, item, reinterpret_cast<const WCHAR*>(wide.c_str()), &value) ==
        0) {
        if (value != 0) FreeString(value);
        return std::string();
    }
    return OneLine(TakeRuntimeString(value));
}

std::string DTDataValue(OutlineHandle outline, ItemHandle item, int32_t index) {
    int32_t value = 0;
    if (item == 0 || GetItemDTData(outline, item, index, &value) == 0) return "none";
    return std::to_string(value);
}
