// tests/runtime/outline_format_test.cpp
//
// The outline text format through real files: canonical files save to the very same bytes,
// other spellings of the same outline save in the canonical form, and random outlines (every
// escape, lone surrogates, flags, all three kinds of content) survive load and save. The
// generated files are written here by an emitter of the test's own, so a fault shared by the
// runtime's reader and writer still shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <vector>

#include "tests/runtime/runtime_test_support.h"

namespace {

std::vector<std::string> ListFiles(const std::string& folder, bool folders) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(TestDataPath(folder))) {
        if (entry.is_directory() == folders) names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(OutlineFormat, CanonicalFilesSaveToTheSameBytes) {
    ScratchFolder folder;
    std::vector<std::string> names = ListFiles("runtime/canonical", false);
    ASSERT_GE(names.size(), 3u);
    for (const std::string& name : names) {
        std::string original = ReadFileBytes(TestDataPath("runtime/canonical/" + name));
        OpenedOutline first(OpenBytes(folder, "first.outline", original));
        ASSERT_NE(first.handle, 0u) << name << ": " << LastOpenError();
        std::string saved = SaveBytes(folder, "second.outline", first);
        EXPECT_EQ(FirstDifference(original, saved), "") << name;
        OpenedOutline second(OpenOutline(folder.WideFile("second.outline").c_str()));
        ASSERT_NE(second.handle, 0u) << name << ": " << LastOpenError();
        EXPECT_EQ(FirstDifference(original, SaveBytes(folder, "third.outline", second)), "")
            << name;
    }
}

TEST(OutlineFormat, OtherSpellingsSaveInCanonicalForm) {
    ScratchFolder folder;
    std::vector<std::string> scenarios = ListFiles("runtime/normalise", true);
    ASSERT_GE(scenarios.size(), 3u);
    for (const std::string& scenario : scenarios) {
        std::string base = "runtime/normalise/" + scenario + "/";
        std::string why = ReadFileBytes(TestDataPath(base + "why.txt"));
        OpenedOutline outline(OpenOutline(Wide(TestDataPath(base + "input.outline")).c_str()));
        ASSERT_NE(outline.handle, 0u) << scenario << " (" << why << "): " << LastOpenError();
        ExpectGolden(base + "expected.outline", SaveBytes(folder, "saved.outline", outline));
    }
}

// ---- Generated outlines ----------------------------------------------------------------

struct ModelContent {
    char kind;  // '@', '%' or '$'
    uint32_t number;
    std::u16string name;
    std::u16string value;
    int32_t dtValue;
};

struct ModelItem {
    int depth;
    int32_t type;
    bool skip, nodelete, readonly;
    std::u16string text;
    std::vector<ModelContent> contents;
};

// Code units chosen to reach every branch of escaping: the five named escapes, other control
// characters, DEL, non-ASCII of two and three bytes, a byte order mark, a pair (four bytes),
// and both halves of a pair on their own.
const char16_t kUnitPool[] = {u'a',   u'Z',   u' ',   u'\\',  u'"',   u'\n',  u'\r',
                              u'\t',  0x0000, 0x0001, 0x001F, 0x007F, 0x00E9, 0x20AC,
                              0xFEFF, 0xFFFF, 0xD800, 0xDBFF, 0xDC00, 0xDFFF};

class OutlineGenerator {
public:
    explicit OutlineGenerator(uint32_t seed) : random(seed) {}

    std::vector<ModelItem> MakeOutline() {
        std::vector<ModelItem> items;
        int count = Pick(1, 120);
        int depth = 0;
        for (int k = 0; k < count; ++k) {
            if (k > 0) depth = Pick(1, depth + 1);  // deeper by one at most, never back to 0
            ModelItem item;
            item.depth = depth;
            int32_t types[] = {1, 4, 188, 0, -1, INT32_MIN, INT32_MAX, 532};
            item.type = Pick(0, 3) == 0 ? static_cast<int32_t>(random()) : types[Pick(0, 7)];
            item.skip = Pick(0, 4) == 0;
            item.nodelete = Pick(0, 4) == 0;
            item.readonly = Pick(0, 4) == 0;
            item.text = MakeText();
            int entries = Pick(0, 3) == 0 ? Pick(1, 5) : 0;
            for (int e = 0; e < entries; ++e) AddContent(&item, e);
            items.push_back(item);
        }
        return items;
    }

    std::u16string MakeText() {
        std::u16string text;
        int length = Pick(0, 12);
        for (int k = 0; k < length; ++k) {
            if (Pick(0, 9) == 0) {
                text += u"\U0001F600";  // a pair
            } else {
                text.push_back(kUnitPool[Pick(0, sizeof(kUnitPool) / sizeof(kUnitPool[0]) - 1)]);
            }
        }
        return text;
    }

    int Pick(int low, int high) {
        return low + static_cast<int>(random() % static_cast<uint32_t>(high - low + 1));
    }
    std::mt19937 random;

private:
    void AddContent(ModelItem* item, int serial) {
        ModelContent content;
        content.kind = "@%$"[Pick(0, 2)];
        content.dtValue = 0;
        uint32_t numbers[] = {0, 1, 39, 429, 0x7FFFFFFF, 0x80000000u, 0xFFFFFFFFu};
        // The serial keeps keys apart on one item: a key given twice is a fault of its own.
        content.number = numbers[Pick(0, 6)] ^ static_cast<uint32_t>(serial << 8);
        content.name = MakeText() + static_cast<char16_t>(u'0' + serial);
        content.value = MakeText();
        if (content.kind == '$') content.dtValue = static_cast<int32_t>(random());
        item->contents.push_back(content);
    }
};

// The canonical spelling of a text, written from the format's rules independently of the
// runtime. With noisy set, ASCII letters and pairs are spelled as \u escapes instead
// (lowercase hex), which must read as the same text.
std::string EmitLiteral(const std::u16string& text, std::mt19937* noise) {
    std::string out = "\"";
    auto escape = [&](uint32_t unit, bool lower) {
        const char* hex = lower ? "0123456789abcdef" : "0123456789ABCDEF";
        out += "\\u";
        for (int shift = 12; shift >= 0; shift -= 4) out += hex[(unit >> shift) & 0xF];
    };
    for (size_t k = 0; k < text.size(); ++k) {
        uint32_t unit = text[k];
        bool high = unit >= 0xD800 && unit <= 0xDBFF;
        bool pair = high && k + 1 < text.size() && text[k + 1] >= 0xDC00 && text[k + 1] <= 0xDFFF;
        if (noise != nullptr && (*noise)() % 3 == 0 && (pair || (unit >= 'a' && unit <= 'z'))) {
            escape(unit, true);
            if (pair) escape(text[++k], false);
            continue;
        }
        if (unit == '\\')
            out += "\\\\";
        else if (unit == '"')
            out += "\\\"";
        else if (unit == '\n')
            out += "\\n";
        else if (unit == '\r')
            out += "\\r";
        else if (unit == '\t')
            out += "\\t";
        else if (unit < 0x20 || unit == 0x7F || (unit >= 0xD800 && unit <= 0xDFFF && !pair))
            escape(unit, false);
        else if (pair)
            out += Narrow(text.substr(k++, 2));
        else
            out += Narrow(std::u16string(1, static_cast<char16_t>(unit)));
    }
    return out + "\"";
}

std::string EmitOutline(const std::vector<ModelItem>& items, std::mt19937* noise) {
    auto pick = [&](uint32_t ways) { return noise != nullptr && (*noise)() % ways == 0; };
    std::string out = pick(2) ? "\xEF\xBB\xBFOUTLINE 1" : "OUTLINE 1";
    auto endLine = [&]() {
        out += pick(2) ? "\r\n" : "\n";
        if (pick(5)) out += pick(2) ? "\n" : "   ; a comment \"with a quote\n";
    };
    endLine();
    for (const ModelItem& item : items) {
        out += std::string(2 * item.depth, ' ') + std::to_string(item.type);
        std::vector<std::string> flags;
        if (item.skip) flags.push_back("skip");
        if (item.nodelete) flags.push_back("nodelete");
        if (item.readonly) flags.push_back("readonly");
        if (noise != nullptr) std::shuffle(flags.begin(), flags.end(), *noise);
        for (size_t k = 0; k < flags.size(); ++k) out += (k == 0 ? " [" : ",") + flags[k];
        if (!flags.empty()) out += "]";
        out += " " + EmitLiteral(item.text, noise);
        endLine();
        for (const ModelContent& content : item.contents) {
            out += std::string(2 * item.depth + 2, ' ');
            if (content.kind == '@')
                out +=
                    "@" + std::to_string(content.number) + " " + EmitLiteral(content.value, noise);
            if (content.kind == '%')
                out += "%" + EmitLiteral(content.name, noise) + " " +
                       EmitLiteral(content.value, noise);
            if (content.kind == '$') {
                out += "$" + std::to_string(static_cast<int32_t>(content.number)) + " " +
                       std::to_string(content.dtValue);
            }
            endLine();
        }
    }
    return out;
}

TEST(OutlineFormat, GeneratedOutlinesRoundTripByteForByte) {
    ScratchFolder folder;
    for (uint32_t seed = 1; seed <= 60; ++seed) {
        OutlineGenerator generator(seed);
        std::vector<ModelItem> items = generator.MakeOutline();
        std::string canonical = EmitOutline(items, nullptr);
        OpenedOutline outline(OpenBytes(folder, "generated.outline", canonical));
        ASSERT_NE(outline.handle, 0u) << "seed " << seed << ": " << LastOpenError();
        std::string saved = SaveBytes(folder, "saved.outline", outline);
        EXPECT_EQ(FirstDifference(canonical, saved), "") << "seed " << seed;
        OpenedOutline reopened(OpenOutline(folder.WideFile("saved.outline").c_str()));
        EXPECT_EQ(SaveBytes(folder, "again.outline", reopened), canonical) << "seed " << seed;

        // The same outline with a byte order mark, CR LF ends, comments, blank lines, flags in
        // any order and escaped letters reads as the same outline and saves canonically.
        std::string noisy = EmitOutline(items, &generator.random);
        OpenedOutline noisyOutline(OpenBytes(folder, "noisy.outline", noisy));
        ASSERT_NE(noisyOutline.handle, 0u) << "seed " << seed << ": " << LastOpenError();
        EXPECT_EQ(
            FirstDifference(canonical, SaveBytes(folder, "noisy-saved.outline", noisyOutline)), "")
            << "seed " << seed;
    }
}

TEST(OutlineFormat, TextsKeepEveryCodeUnitAndDisplayOnOneLine) {
    ScratchFolder folder;
    OpenedOutline outline(OpenBytes(folder, "texts.outline",
                                    "OUTLINE 1\n"
                                    "1 \"a\\r\\nb\\nc\"\n"
                                    "  4 \"\\uD83D\\uDE00 \\uDE00\\uD83D \\u0000end\"\n"
                                    "  188 \"\"\n"));
    ASSERT_NE(outline.handle, 0u) << LastOpenError();
    ItemHandle root = GetRootItem(outline);
    ItemHandle second = NthChild(outline, root, 0);
    EXPECT_EQ(ItemText(outline, root), u"a\r\nb\nc");
    EXPECT_EQ(ItemText(outline, second), std::u16string(u"\U0001F600 \xDE00\xD83D \0end", 10));
    StringHandle shown = 0;
    ASSERT_NE(GetItemText(outline, root, 1, &shown), 0);
    EXPECT_EQ(TakeString(shown), u" a  b c");
    // An empty text shows as nothing at all: no blank after the type's name.
    ASSERT_NE(GetItemText(outline, NthChild(outline, root, 1), 1, &shown), 0);
    int32_t length = -1;
    GetStringText(shown, &length);
    EXPECT_EQ(length, 0);
    FreeString(shown);
    EXPECT_EQ(GetItemText(outline, root, 2, &shown), 0);
    EXPECT_EQ(shown, 0u);
    // The pair written as two escapes is one character, saved as its UTF-8; the reversed
    // halves stay escaped.
    EXPECT_EQ(SaveBytes(folder, "saved.outline", outline),
              "OUTLINE 1\n1 \"a\\r\\nb\\nc\"\n  4 \"\xF0\x9F\x98\x80 \\uDE00\\uD83D \\u0000end\"\n "
              " 188 \"\"\n");
}

TEST(ItemTypeNames, CommonCodesHaveNamesAndOthersANumber) {
    struct Case {
        int32_t type;
        std::u16string name;
    } cases[] = {{1, u"Application"},
                 {4, u"Procedure"},
                 {188, u"Comment"},
                 {0, u"Type 0"},
                 {77, u"Type 77"},
                 {-1, u"Type -1"},
                 {INT32_MIN, u"Type -2147483648"}};
    for (const Case& entry : cases) {
        StringHandle name = 0;
        ASSERT_NE(GetItemTypeName(entry.type, &name), 0) << entry.type;
        EXPECT_EQ(TakeString(name), entry.name) << entry.type;
    }
    EXPECT_EQ(GetItemTypeName(4, nullptr), 0);
}

}  // namespace
