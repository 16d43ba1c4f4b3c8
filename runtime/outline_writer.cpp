// runtime/outline_writer.cpp: the canonical writer. The byte choices below are the format's;
// changing any of them changes every saved file.
#include "runtime/outline_writer.h"

namespace brimrt {

namespace {

// Bytes collected before they go to the sink: few calls for a large outline, little memory.
constexpr size_t kPieceBytes = 1 << 20;

const char kHexDigits[] = "0123456789ABCDEF";

void AppendUnitEscape(std::string* out, uint32_t unit) {
    out->append("\\u");
    for (int shift = 12; shift >= 0; shift -= 4) out->push_back(kHexDigits[(unit >> shift) & 0xF]);
}

void AppendDecimal(std::string* out, int64_t value) {
    char digits[24];
    int count = 0;
    bool negative = value < 0;
    uint64_t magnitude =
        negative ? static_cast<uint64_t>(-(value + 1)) + 1 : static_cast<uint64_t>(value);
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (negative) out->push_back('-');
    while (count > 0) out->push_back(digits[--count]);
}

void AppendIndent(std::string* out, size_t depth) { out->append(2 * depth, ' '); }

void AppendItemLine(std::string* out, const ItemRecord& item, size_t depth) {
    AppendIndent(out, depth);
    AppendDecimal(out, item.type);
    if (item.flags & kFileFlags) {
        // Fixed flag order, so that an item's line does not depend on how its flags were set.
        const char* separator = " [";
        if (item.flags & kFlagSkip) {
            out->append(separator).append("skip");
            separator = ",";
        }
        if (item.flags & kFlagNoDelete) {
            out->append(separator).append("nodelete");
            separator = ",";
        }
        if (item.flags & kFlagReadOnly) out->append(separator).append("readonly");
        out->push_back(']');
    }
    out->push_back(' ');
    AppendLiteral(out, item.text, item.textLength);
    out->push_back('\n');
}

void AppendContentLine(std::string* out, const ContentEntry& entry, size_t depth) {
    AppendIndent(out, depth);
    switch (entry.kind) {
    case ContentKind::kAttribute:
        out->push_back('@');
        AppendDecimal(out, entry.number);
        out->push_back(' ');
        AppendLiteral(out, entry.value.data(), entry.value.size());
        break;
    case ContentKind::kProperty:
        out->push_back('%');
        AppendLiteral(out, entry.name.data(), entry.name.size());
        out->push_back(' ');
        AppendLiteral(out, entry.value.data(), entry.value.size());
        break;
    case ContentKind::kDTData:
        out->push_back('$');
        AppendDecimal(out, static_cast<int32_t>(entry.number));
        out->push_back(' ');
        AppendDecimal(out, entry.dtValue);
        break;
    }
    out->push_back('\n');
}

}  // namespace

void AppendLiteral(std::string* out, const WCHAR* text, size_t length) {
    out->push_back('"');
    for (size_t k = 0; k < length; ++k) {
        // A run of plain characters, the most of any text, goes out in one piece.
        size_t end = k;
        while (end < length && text[end] >= 0x20 && text[end] < 0x7F && text[end] != '"' &&
               text[end] != '\\') {
            ++end;
        }
        if (end > k) {
            size_t at = out->size();
            out->resize(at + (end - k));
            for (size_t n = k; n < end; ++n) (*out)[at + (n - k)] = static_cast<char>(text[n]);
            k = end;
            if (k == length) break;
        }
        uint32_t unit = static_cast<uint16_t>(text[k]);
        switch (unit) {
        case '\\': out->append("\\\\"); continue;
        case '"': out->append("\\\""); continue;
        case '\n': out->append("\\n"); continue;
        case '\r': out->append("\\r"); continue;
        case '\t': out->append("\\t"); continue;
        default: break;
        }
        if (unit < 0x20 || unit == 0x7F) {
            AppendUnitEscape(out, unit);
        } else if (IsHighSurrogate(unit) && k + 1 < length &&
                   IsLowSurrogate(static_cast<uint16_t>(text[k + 1]))) {
            uint32_t low = static_cast<uint16_t>(text[++k]);
            AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            AppendUnitEscape(out, unit);
        } else {
            AppendUtf8(out, unit);
        }
    }
    out->push_back('"');
}

bool WriteOutline(const OutlineStore& store, ByteSink* sink) {
    std::string piece = "OUTLINE 1\n";
    uint32_t top = store.Root();
    // Depth-first along the links, with the depth kept by hand: going down to a first child
    // adds one, each climb to a parent takes one. No recursion, so any depth fits.
    size_t depth = 0;
    for (uint32_t index = top; index != kNoItem;) {
        const ItemRecord& item = store.Item(index);
        AppendItemLine(&piece, item, depth);
        for (const ContentEntry& entry : store.ContentsOf(index)) {
            AppendContentLine(&piece, entry, depth + 1);
        }
        if (piece.size() >= kPieceBytes) {
            if (!sink->Write(piece.data(), piece.size())) return false;
            piece.clear();
        }
        if (item.firstChild != kNoItem) {
            index = item.firstChild;
            ++depth;
            continue;
        }
        while (index != top && store.Item(index).nextSibling == kNoItem) {
            index = store.Item(index).parent;
            --depth;
        }
        index = index == top ? kNoItem : store.Item(index).nextSibling;
    }
    return sink->Write(piece.data(), piece.size());
}

}  // namespace brimrt
