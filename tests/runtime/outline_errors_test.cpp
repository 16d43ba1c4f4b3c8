// tests/runtime/outline_errors_test.cpp
//
// Refused outline files, one test per family of fault, each case checked for its exact
// "line:column: expected ..., found ..." after the path. Columns count characters, so several
// cases put multi-byte characters before the fault.
#include <gtest/gtest.h>

#include <regex>
#include <vector>

#include "tests/runtime/runtime_test_support.h"

namespace {

struct BadFile {
    std::string bytes;
    std::string error;  // what follows "path:"
};

// Opens each file and checks its error. A file that opens is reported, and closed.
void ExpectErrors(const std::vector<BadFile>& cases) {
    ScratchFolder folder;
    std::string prefix = folder.File("bad.outline") + ":";
    for (const BadFile& bad : cases) {
        OutlineHandle outline = OpenBytes(folder, "bad.outline", bad.bytes);
        if (outline != 0) {
            CloseOutline(outline);
            ADD_FAILURE() << "opened: " << bad.bytes;
            continue;
        }
        std::string error = LastOpenError();
        EXPECT_EQ(error.substr(0, prefix.size()), prefix) << error;
        EXPECT_EQ(error.substr(std::min(prefix.size(), error.size())), bad.error) << bad.bytes;
    }
}

const std::string kRoot = "OUTLINE 1\n1 \"r\"\n";

std::string Repeat(const std::string& piece, int count) {
    std::string text;
    for (int k = 0; k < count; ++k) text += piece;
    return text;
}

TEST(OutlineParser, HeaderFaultsAndMissingRootAreRejectedWithLineAndColumn) {
    ExpectErrors({
        {"", "1:1: expected 'OUTLINE 1', found end of file"},
        {"OUTLINE 2\n1 \"r\"\n", "1:9: expected 'OUTLINE 1', found '2'"},
        {"1 \"root\"\n", "1:1: expected 'OUTLINE 1', found '1'"},
        {"outline 1\n", "1:1: expected 'OUTLINE 1', found 'o'"},
        {"OUTLINE\n1 \"r\"\n", "1:8: expected 'OUTLINE 1', found end of line"},
        {"OUTLINE 1 \n1 \"r\"\n", "1:10: expected end of line, found blank"},
        {"OUTLINE 12\n", "1:10: expected end of line, found '2'"},
        {"\xEF\xBB\xBF\xEF\xBB\xBFOUTLINE 1\n",
         "1:1: expected 'OUTLINE 1', found a byte order mark"},
        {"OUTLINE 1\n\xEF\xBB\xBF"
         "1 \"r\"\n",
         "2:1: expected an item or a content line, found a byte order mark"},
        {"OUTLINE 1\n", "2:1: expected the root item, found end of file"},
        {"OUTLINE 1", "1:10: expected the root item, found end of file"},
        {"OUTLINE 1\r\n\r\n; only a comment", "3:17: expected the root item, found end of file"},
    });
}

TEST(OutlineParser, IndentationFaultsAreRejectedWithLineAndColumn) {
    ExpectErrors({
        {kRoot + "\t4 \"c\"\n", "3:1: expected blanks for indentation, found tab"},
        {kRoot + "  \t4 \"c\"\n", "3:3: expected blanks for indentation, found tab"},
        {kRoot + "   4 \"c\"\n",
         "3:1: expected indentation in steps of two blanks, found 3 blanks"},
        {kRoot + "    4 \"c\"\n", "3:1: expected at most 2 blanks of indentation, found 4 blanks"},
        {kRoot + "  4 \"c\"\n      5 \"d\"\n",
         "4:1: expected at most 4 blanks of indentation, found 6 blanks"},
        {kRoot + "1 \"again\"\n", "3:1: expected a child of the root, found a second root item"},
        {"OUTLINE 1\n  1 \"r\"\n", "2:1: expected the root item at indentation 0, found 2 blanks"},
        {"OUTLINE 1\n@1 \"v\"\n", "2:1: expected the root item, found a content line"},
        {kRoot + "  4 \"c\"\n  @1 \"v\"\n",
         "4:3: expected an item line, found a content line after a child item"},
        {kRoot + "  4 \"c\"\n    5 \"d\"\n    %\"n\" \"v\"\n",
         "5:5: expected an item line, found a content line after a child item"},
        {kRoot + "$1 2\n", "3:1: expected an item line, found a content line without indentation"},
        {kRoot + "    @1 \"v\"\n", "3:1: expected at most 2 blanks of indentation, found 4 blanks"},
        {kRoot + "  x \"c\"\n", "3:3: expected an item or a content line, found 'x'"},
    });
}

TEST(OutlineParser, LiteralFaultsAreRejectedWithLineAndColumn) {
    ExpectErrors({
        {"OUTLINE 1\n1 \"root\n  4 \"c\"\n",
         "2:8: expected '\"' closing the text, found end of line"},
        {"OUTLINE 1\n1 \"root", "2:8: expected '\"' closing the text, found end of file"},
        {"OUTLINE 1\r\n1 \"ab\r\n", "2:6: expected '\"' closing the text, found end of line"},
        {"OUTLINE 1\n1 \"a\\\"\n", "2:7: expected '\"' closing the text, found end of line"},
        {"OUTLINE 1\n1 \"a\\qb\"\n",
         "2:6: expected an escape letter (\\, \", n, r, t or u), found 'q'"},
        {"OUTLINE 1\n1 \"a\\",
         "2:6: expected an escape letter (\\, \", n, r, t or u), found end of file"},
        {"OUTLINE 1\n1 \"\\u12G4\"\n", "2:8: expected 4 hex digits after \\u, found 'G'"},
        {"OUTLINE 1\n1 \"\\u12\"\n", "2:8: expected 4 hex digits after \\u, found '\"'"},
        {"OUTLINE 1\n1 \"\\u\n", "2:6: expected 4 hex digits after \\u, found end of line"},
        {"OUTLINE 1\n1 \"r\" x\n", "2:6: expected end of line, found blank"},
        {"OUTLINE 1\n1 \"r\"\"\n", "2:6: expected end of line, found '\"'"},
        {"OUTLINE 1\n1 \"\xC3\xA9\"x\n", "2:6: expected end of line, found 'x'"},
        {"OUTLINE 1\n1 r\n", "2:3: expected '\"', found 'r'"},
        {"OUTLINE 1\n1\"r\"\n", "2:2: expected ' ', found '\"'"},
        {"OUTLINE 1\n1\n", "2:2: expected ' ', found end of line"},
        {kRoot + "  %\"n\"\"v\"\n", "3:7: expected ' ', found '\"'"},
        {kRoot + "  %n \"v\"\n", "3:4: expected '\"', found 'n'"},
    });
}

TEST(OutlineParser, NumbersOutOfRangeOrMissingAreRejected) {
    ExpectErrors({
        {"OUTLINE 1\n2147483648 \"r\"\n",
         "2:1: expected a type code from -2147483648 to 2147483647, found 2147483648"},
        {"OUTLINE 1\n-2147483649 \"r\"\n",
         "2:1: expected a type code from -2147483648 to 2147483647, found -2147483649"},
        {"OUTLINE 1\n" + std::string(50, '9') + " \"r\"\n",
         "2:1: expected a type code from -2147483648 to 2147483647, found " + std::string(40, '9') +
             "..."},
        {"OUTLINE 1\n- \"r\"\n", "2:2: expected a type code, found blank"},
        {kRoot + "  @4294967296 \"v\"\n",
         "3:4: expected an attribute id from 0 to 4294967295, found 4294967296"},
        {kRoot + "  @-1 \"v\"\n", "3:4: expected an attribute id, found '-'"},
        {kRoot + "  @ \"v\"\n", "3:4: expected an attribute id, found blank"},
        {kRoot + "  $2147483648 1\n",
         "3:4: expected a DTDATA index from -2147483648 to 2147483647, found 2147483648"},
        {kRoot + "  $1 -2147483649\n",
         "3:6: expected a DTDATA value from -2147483648 to 2147483647, found -2147483649"},
        {kRoot + "  $1 \n", "3:6: expected a DTDATA value, found end of line"},
        {kRoot + "  $1  2\n", "3:6: expected a DTDATA value, found blank"},
        {kRoot + "  $1 2 \n", "3:7: expected end of line, found blank"},
    });
}

TEST(OutlineParser, FlagListFaultsAreRejected) {
    ExpectErrors({
        {"OUTLINE 1\n1 [hidden] \"r\"\n",
         "2:4: expected a flag (skip, nodelete or readonly), found 'hidden'"},
        {"OUTLINE 1\n1 [Skip] \"r\"\n",
         "2:4: expected a flag (skip, nodelete or readonly), found 'Skip'"},
        {"OUTLINE 1\n1 [] \"r\"\n", "2:4: expected a flag (skip, nodelete or readonly), found ']'"},
        // A long word is quoted up to 40 bytes, cut between characters, never inside one.
        {"OUTLINE 1\n1 [x" + Repeat("\xC3\xA9", 30) + "] \"r\"\n",
         "2:4: expected a flag (skip, nodelete or readonly), found 'x" + Repeat("\xC3\xA9", 19) +
             "...'"},
        {"OUTLINE 1\n1 [skip,] \"r\"\n",
         "2:9: expected a flag (skip, nodelete or readonly), found ']'"},
        {"OUTLINE 1\n1 [skip, readonly] \"r\"\n",
         "2:9: expected a flag (skip, nodelete or readonly), found blank"},
        {"OUTLINE 1\n1 [skip \"r\"\n", "2:8: expected ',' or ']', found blank"},
        {"OUTLINE 1\n1 [skip\n", "2:8: expected ',' or ']', found end of line"},
        {"OUTLINE 1\n1 [skip,skip] \"r\"\n",
         "2:9: expected a flag not already given, found 'skip'"},
        {"OUTLINE 1\n1 [skip]\"r\"\n", "2:9: expected ' ', found '\"'"},
        {"OUTLINE 1\n1  [skip] \"r\"\n", "2:3: expected '\"', found blank"},
    });
}

TEST(OutlineParser, BadBytesAreRejectedWhereverTheyStand) {
    ExpectErrors({
        {"OUTLINE 1\n1 \"\xC0\x80\"\n", "2:4: expected UTF-8 text, found byte 0xC0"},
        {"OUTLINE 1\n1 \"\xE0\x80\x80\"\n", "2:4: expected UTF-8 text, found byte 0xE0"},
        {"OUTLINE 1\n1 \"\xED\xA0\x80\"\n", "2:4: expected UTF-8 text, found byte 0xED"},
        {"OUTLINE 1\n1 \"\xF4\x90\x80\x80\"\n", "2:4: expected UTF-8 text, found byte 0xF4"},
        {"OUTLINE 1\n1 \"\xF5\x80\x80\x80\"\n", "2:4: expected UTF-8 text, found byte 0xF5"},
        {"OUTLINE 1\n1 \"\xE2\x82\"\n", "2:4: expected UTF-8 text, found byte 0xE2"},
        {"OUTLINE 1\n1 \"\xE2\x82", "2:4: expected UTF-8 text, found byte 0xE2"},
        {"OUTLINE 1\n1 \"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\x80\"\n",
         "2:7: expected UTF-8 text, found byte 0x80"},
        {"OUTLINE 1\n; \xFF comments are checked too\n1 \"r\"\n",
         "2:3: expected UTF-8 text, found byte 0xFF"},
        {std::string("OUTLINE 1\n1 \"a\0b\"\n", 18), "2:5: expected text, found NUL byte"},
        {"OUTLINE 1\n1 \"a\rb\"\n", "2:6: expected LF after CR, found 'b'"},
        {"OUTLINE 1\n1 \"r\"\r", "2:7: expected LF after CR, found end of file"},
        {"OUTLINE 1\r\r\n1 \"r\"\n", "1:11: expected LF after CR, found end of line"},
        // The line's bytes are checked before its syntax: the bad byte wins over the fault at 3.
        {"OUTLINE 1\n1 x \xFF\n", "2:5: expected UTF-8 text, found byte 0xFF"},
    });
}

TEST(OutlineParser, AKeyGivenTwiceOnOneItemIsRejected) {
    std::string manyAttributes, manyProperties, deeperAttributes;
    for (int k = 0; k < 20; ++k) {
        manyAttributes += "  @" + std::to_string(k) + " \"v\"\n";
        deeperAttributes += "    @" + std::to_string(k) + " \"v\"\n";
        manyProperties += "  %\"p" + std::to_string(k) + "\" \"v\"\n";
    }
    ExpectErrors({
        {kRoot + "  @5 \"a\"\n  @5 \"b\"\n",
         "4:4: expected an attribute id not already on this item, found 5"},
        {kRoot + "  %\"n\\n\" \"a\"\n  %\"n\\u000A\" \"b\"\n",
         "4:4: expected a property name not already on this item, found \"n\\n\""},
        {kRoot + "  $39 1\n  @39 \"other kind\"\n  $39 2\n",
         "5:4: expected a DTDATA index not already on this item, found 39"},
        // Past the first few entries the check changes method; it must find the same faults.
        {kRoot + manyAttributes + "  @3 \"again\"\n",
         "23:4: expected an attribute id not already on this item, found 3"},
        {kRoot + manyProperties + "  %\"p19\" \"again\"\n",
         "23:4: expected a property name not already on this item, found \"p19\""},
    });
    // The same keys on different items are no fault.
    ScratchFolder folder;
    OpenedOutline outline(OpenBytes(folder, "good.outline",
                                    kRoot + manyAttributes + "  4 \"c\"\n" + deeperAttributes));
    EXPECT_NE(outline.handle, 0u) << LastOpenError();
}

// Every prefix of a good file, and the good file with any one byte damaged, either opens or
// is refused with a well-formed reason; never a crash, and a refused open leaves no outline.
TEST(OutlineParser, CutOrDamagedFilesNeverCrashAndAlwaysExplain) {
    ScratchFolder folder;
    std::string good = ReadFileBytes(TestDataPath("runtime/canonical/escapes.outline"));
    ASSERT_FALSE(good.empty());
    std::regex form(R"(.*bad\.outline:[0-9]+:[0-9]+: expected .+, found .+)");
    auto check = [&](const std::string& bytes, const std::string& what) {
        OutlineHandle outline = OpenBytes(folder, "bad.outline", bytes);
        if (outline != 0) {
            EXPECT_EQ(LastOpenError(), "") << what;
            CloseOutline(outline);
        } else {
            EXPECT_TRUE(std::regex_match(LastOpenError(), form)) << what << ": " << LastOpenError();
        }
    };
    for (size_t length = 0; length < good.size(); ++length)
        check(good.substr(0, length), "cut at " + std::to_string(length));
    const char damage[] = {'\0', '\xFF', '"', '\\', '\r', ' ', '\t', '\x80'};
    for (size_t position = 0; position < good.size(); ++position) {
        for (char byte : damage) {
            std::string damaged = good;
            damaged[position] = byte;
            check(damaged, "byte " + std::to_string(position));
        }
    }
}

TEST(OpenOutline, UnreadableFilesAreRefusedAndTheReasonIsKeptUntilTheNextOpen) {
    ScratchFolder folder;
    EXPECT_EQ(OpenOutline(folder.WideFile("missing.outline").c_str()), 0u);
    EXPECT_EQ(LastOpenError(), folder.File("missing.outline") + ": cannot be read: no such file");
    EXPECT_EQ(OpenOutline(Wide(folder.Path()).c_str()), 0u);
    EXPECT_EQ(LastOpenError(), folder.Path() + ": cannot be read: it is a folder");
    EXPECT_EQ(OpenOutline(nullptr), 0u);
    // The reason is cut to the buffer and always terminated; its full length is answered.
    OutlineHandle refused = OpenBytes(folder, "bad.outline", "OUTLINE 2\n");
    EXPECT_EQ(refused, 0u);
    std::string full = LastOpenError();
    WCHAR small[6] = {u'x', u'x', u'x', u'x', u'x', u'x'};
    EXPECT_EQ(GetOutlineError(small, 4), static_cast<int32_t>(full.size()));
    EXPECT_EQ(Narrow(small), full.substr(0, 3));
    EXPECT_EQ(small[4], u'x');
    // A good open clears it.
    OpenedOutline good(OpenBytes(folder, "good.outline", kRoot));
    ASSERT_NE(good.handle, 0u);
    EXPECT_EQ(GetOutlineError(small, 6), 0);
    EXPECT_EQ(small[0], 0);
}

}  // namespace
