// tests/html/html_report_test.cpp
//
// norvex diff --html and norvex merge --html on real outline files: the pages hold each change
// (kind, texts, words), each numbered conflict and warning, nothing of an outline's text as
// markup, fold what did not change, and leave every other output of the command as it was.
// (A page that cannot be written is the command scenario page-not-written.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/cli/command_runner.h"
#include "tests/html/shown_text.h"

namespace {

size_t CountOf(const std::string& text, const std::string& piece) {
    size_t count = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) {
        ++count;
    }
    return count;
}

// The row element with the id: its start tag and content up to its end.
struct RowSeen {
    std::string classes;
    std::string html;
    bool found = false;
};

RowSeen RowById(const std::string& page, const std::string& id) {
    RowSeen row;
    size_t at = page.find(" id=\"" + id + "\"");
    if (at == std::string::npos) return row;
    size_t start = page.rfind('<', at);
    size_t classAt = page.find("class=\"", start);
    row.classes = page.substr(classAt + 7, page.find('"', classAt + 7) - classAt - 7);
    bool summary = page.compare(start, 8, "<summary") == 0;
    size_t end = page.find(summary ? "</summary>" : "</div>\n", at);
    row.html = page.substr(page.find('>', at) + 1, end - page.find('>', at) - 1);
    row.found = true;
    return row;
}

class HtmlReport : public ::testing::Test {
protected:
    void SetUp() override { CopyExamples(folder_.Path()); }
    std::string Page(const std::string& name) { return ReadFileBytes(folder_.File(name)); }
    ScratchFolder folder_;
};

}  // namespace

TEST_F(HtmlReport, DiffPageHoldsEachChangeOfTheExamplesByKindInNewsOrder) {
    CommandResult plain = RunNorvex(folder_.Path(), "diff base.outline version1.outline --all");
    CommandResult paged =
        RunNorvex(folder_.Path(), "diff base.outline version1.outline --all --html v1.html");
    EXPECT_EQ(paged.status, 1) << paged.err;
    EXPECT_EQ(paged.out, plain.out);  // the report adds a file, nothing else
    EXPECT_EQ(paged.err, "");
    RunNorvex(folder_.Path(), "diff base.outline version1.outline --all -o plain.cmp");
    RunNorvex(folder_.Path(),
              "diff base.outline version1.outline --all -o paged.cmp --html x.html");
    EXPECT_EQ(ReadFileBytes(folder_.File("paged.cmp")), ReadFileBytes(folder_.File("plain.cmp")));
    EXPECT_FALSE(ReadFileBytes(folder_.File("plain.cmp")).empty());
    std::string page = Page("v1.html");

    struct Expected {
        const char* kind;
        const char* shown;
    };
    const Expected changes[] = {
        {"only-new", "Field Location only in version1.outline"},
        {"changed",
         "Module StockModuleModule StockModule 1 content change"
         "property Version: \"1.4\" \u2192 \"1.5\""},
        {"only-new",
         "Statement IF Stock:Version < 2 THEN Upgrade(Stock). only in version1.outline"},
        {"changed", "Statement Count = 0Statement RETURN Records(Stock) text changed"},
        {"only-old", "Statement LOOP UNTIL EOF(Stock) only in base.outline"},
        {"only-old", "Statement   Count += 1 only in base.outline"},
        {"only-old", "Statement RETURN Count only in base.outline"},
        {"changed", "Control OK buttonControl Save button text changed"},
    };
    EXPECT_EQ(CountOf(page, " stop\""), 8u);
    for (size_t k = 0; k < 8; ++k) {
        RowSeen row = RowById(page, "change-" + std::to_string(k + 1));
        ASSERT_TRUE(row.found) << k;
        EXPECT_EQ(row.classes, std::string("row ") + changes[k].kind + " stop") << k;
        EXPECT_EQ(ShownText(row.html), changes[k].shown) << k;
    }
    // Word by word: only the words that changed are marked.
    EXPECT_NE(RowById(page, "change-8").html.find("<del>OK</del> button"), std::string::npos);
    EXPECT_NE(RowById(page, "change-8").html.find("<ins>Save</ins> button"), std::string::npos);
    // The counts at the top are those of --stat; an unchanged section is folded, one with a
    // change open.
    EXPECT_NE(page.find("3 changed</span>"), std::string::npos);
    EXPECT_NE(page.find("3 only in base.outline</span>"), std::string::npos);
    EXPECT_NE(page.find("2 only in version1.outline</span>"), std::string::npos);
    EXPECT_NE(page.find("<details><summary class=\"row\" data-d=\"2\"><span class=\"cell old\">"
                        "<span class=\"type\">Procedure</span> CloseStock"),
              std::string::npos);
    EXPECT_NE(page.find("<details open><summary class=\"row\" data-d=\"2\"><span class=\"cell "
                        "old\"><span class=\"type\">Procedure</span> CountStock"),
              std::string::npos);
    EXPECT_NE(page.find("<kbd>n</kbd>"), std::string::npos);

    // Version 2: an attribute, a property and a DTDATA value listed under their item.
    RunNorvex(folder_.Path(), "diff base.outline version2.outline --all --html v2.html");
    page = Page("v2.html");
    EXPECT_NE(page.find("<li>attribute 502: <del>&quot;STRING(40)&quot;</del> \u2192 "
                        "<ins>&quot;STRING(60)&quot;</ins></li>"),
              std::string::npos);
    EXPECT_NE(page.find("<li>property Caption: <del>&quot;Inventory&quot;</del> \u2192 "
                        "<ins>&quot;Stock on hand&quot;</ins></li><li>DTDATA 39: <del>12</del> "
                        "\u2192 <ins>16</ins></li>"),
              std::string::npos);
    EXPECT_NE(page.find("Message(&#39;Cannot open stock&#39;); </ins>RETURN"), std::string::npos);

    // The same outline twice: a page that says so, exit 0 as before.
    CommandResult same =
        RunNorvex(folder_.Path(), "diff base.outline base.outline --html same.html");
    EXPECT_EQ(same.status, 0);
    EXPECT_EQ(same.out, "");
    page = Page("same.html");
    EXPECT_NE(page.find("The outlines hold the same."), std::string::npos);
    EXPECT_EQ(CountOf(page, " stop\""), 0u);
}

TEST_F(HtmlReport, MovedRowsPairAsTheComparisonRankedThem) {
    // NEW puts charlie first and replaces xray by yankee; delta's text changes. An ignored
    // item (type 176) stands between, and a skipped one that no walk sees. Each row must pair
    // an OLD item with its own partner, not with whatever stands at its place or rank.
    WriteFileBytes(folder_.File("old.outline"),
                   "OUTLINE 1\n1 \"App\"\n  4 \"Proc\"\n    9 \"alpha = first value\"\n"
                   "    176 \"hidden note\"\n    9 [skip] \"skipped line\"\n"
                   "    9 \"bravo = second value\"\n    9 \"xray = to be deleted\"\n"
                   "    9 \"charlie = third value\"\n    9 \"delta = fourth value one\"\n"
                   "    9 \"echo = fifth value\"\n");
    WriteFileBytes(folder_.File("new.outline"),
                   "OUTLINE 1\n1 \"App\"\n  4 \"Proc\"\n    9 \"charlie = third value\"\n"
                   "    176 \"hidden note\"\n    9 \"alpha = first value\"\n"
                   "    9 \"yankee = newly added\"\n    9 \"bravo = second value\"\n"
                   "    9 \"delta = fourth value two\"\n    9 [skip] \"another skipped line\"\n"
                   "    9 \"echo = fifth value\"\n");
    CommandResult result = RunNorvex(folder_.Path(), "diff old.outline new.outline --html p.html");
    ASSERT_EQ(result.status, 1) << result.err;
    std::string page = Page("p.html");
    EXPECT_NE(result.out.find("charlie = third value  moved: was after \"xray = to be deleted\","
                              " now first"),
              std::string::npos)
        << result.out;
    const char* rows[][2] = {
        {"row moved stop",
         "Statement charlie = third valueStatement charlie = third value"
         " moved from 5 to 1"},
        {"row moved stop",
         "Statement alpha = first valueStatement alpha = first value moved from 1 to 3"},
        {"row changed stop",
         "Statement xray = to be deletedStatement yankee = newly added text changed"},
        {"row moved stop",
         "Statement bravo = second valueStatement bravo = second value moved from 3 to 5"},
        {"row changed stop",
         "Statement delta = fourth value oneStatement delta = fourth value two"
         " text changed"},
    };
    for (size_t k = 0; k < 5; ++k) {
        RowSeen row = RowById(page, "change-" + std::to_string(k + 1));
        EXPECT_EQ(row.classes, rows[k][0]) << k;
        EXPECT_EQ(ShownText(row.html), rows[k][1]) << k;
    }
    EXPECT_FALSE(RowById(page, "change-6").found);
    EXPECT_NE(
        page.find("<div class=\"row\" data-d=\"2\"><span class=\"cell old\"><span "
                  "class=\"type\">Statement"
                  "</span> echo = fifth value</span><span class=\"cell new\"><span class=\"type\">"
                  "Statement</span> echo = fifth value</span></div>"),
        std::string::npos);
    EXPECT_EQ(CountOf(page, "hidden note <span class=\"badge\">not compared</span>"), 2u);
    EXPECT_EQ(page.find("skipped line"), std::string::npos);
}

TEST_F(HtmlReport, MergePageListsEachNumberedConflictAndWarningWithItsAnchor) {
    CommandResult plain = RunNorvex(
        folder_.Path(), "merge base.outline version1.outline version2.outline -o a.outline --all");
    CommandResult paged =
        RunNorvex(folder_.Path(),
                  "merge base.outline version1.outline version2.outline -o b.outline "
                  "--all --html merge.html");
    EXPECT_EQ(paged.status, 1) << paged.err;
    EXPECT_EQ(ReadFileBytes(folder_.File("b.outline")), ReadFileBytes(folder_.File("a.outline")));
    std::string expectedOut = plain.out;
    expectedOut.replace(expectedOut.find("a.outline"), 9, "b.outline");
    EXPECT_EQ(paged.out, expectedOut);
    std::string page = Page("merge.html");
    EXPECT_NE(page.find("<li><a href=\"#conflict-1\">Conflict 1</a> (C001) Incompatible changes to "
                        "item text at Inventory &gt; MainWindow &gt; OK button"),
              std::string::npos);
    // Version 1's and version 2's texts side by side, their different words marked.
    EXPECT_NE(page.find("<div class=\"label\">partially merged original</div><div class=\"label\">"
                        "version 1 [version1.outline]</div><div class=\"label\">version 2 "
                        "[version2.outline]</div><div class=\"original\">OK button</div><div "
                        "class=\"version1\"><ins>Save</ins> button</div><div class=\"version2\">"
                        "<ins>Apply</ins> button</div>"),
              std::string::npos);
    // The three comments of conflict 1 in the tree, the first the list's target.
    const char* ids[] = {"conflict-1", "conflict-1-2", "conflict-1-3"};
    const char* texts[] = {"OK button", "Save button", "Apply button"};
    for (size_t k = 0; k < 3; ++k) {
        RowSeen row = RowById(page, ids[k]);
        ASSERT_TRUE(row.found) << ids[k];
        EXPECT_EQ(row.classes, "row conflict stop");
        EXPECT_EQ(ShownText(row.html).rfind(
                      std::string("Control ") + texts[k] + " ! #### DIFF: Conflict 1 ", 0),
                  0u)
            << ShownText(row.html);
    }
    EXPECT_EQ(CountOf(page, " stop\""), 3u);

    // A refused deletion (warning 1) and a conflict inside a unit, with its near-here markers.
    WriteFileBytes(folder_.File("b.outline"),
                   "OUTLINE 1\n1 \"App\"\n  2 \"Mod\"\n"
                   "    9 [nodelete] \"Keep me\"\n    9 \"other\"\n"
                   "  4 \"Proc\"\n    9 \"x = 1\"\n");
    WriteFileBytes(
        folder_.File("v1.outline"),
        "OUTLINE 1\n1 \"App\"\n  2 \"Mod\"\n    9 \"other\"\n  4 \"Proc\"\n    9 \"x = 2\"\n");
    WriteFileBytes(folder_.File("v2.outline"),
                   "OUTLINE 1\n1 \"App\"\n  2 \"Mod\"\n"
                   "    9 [nodelete] \"Keep me\"\n    9 \"other\"\n"
                   "  4 \"Proc\"\n    9 \"x = 3\"\n");
    paged = RunNorvex(folder_.Path(),
                      "merge b.outline v1.outline v2.outline -o m.outline --html w.html");
    EXPECT_EQ(paged.status, 1) << paged.err;
    page = Page("w.html");
    EXPECT_NE(page.find("<li><a href=\"#warning-1\">Warning 1</a> (W003) - Unable to delete item "
                        "(Keep me)</li>"),
              std::string::npos);
    EXPECT_EQ(RowById(page, "warning-1").classes, "row warning stop");
    // The markers stand under their conflict, each in the copy that holds it.
    EXPECT_NE(page.find("<ul class=\"near\"><li><a href=\"#near-1\">near here</a> at App &gt; "
                        "Proc &gt; x = 2 (in version 1&#39;s copy)</li>"),
              std::string::npos);
    EXPECT_EQ(ShownText(RowById(page, "near-2").html),
              "Statement x = 3 ! #### DIFF: Conflict - Incompatible change near here #### near "
              "here: conflict 1");
    EXPECT_NE(page.find("<div class=\"version1\">Proc</div>"), std::string::npos);
    EXPECT_NE(page.find("1 conflict</span>"), std::string::npos);
    EXPECT_NE(page.find("1 warning</span>"), std::string::npos);
}

TEST_F(HtmlReport, HostileTextsAndNamesShowAsTextAndNothingRuns) {
    // The base under a name that is markup too: the page's title and labels show it.
    std::string data = NORVEX_HTML_DATA;
    std::filesystem::copy_file(data + "/hostile-base.outline", folder_.File("a<b>'&.outline"));
    std::filesystem::copy_file(data + "/hostile-version1.outline", folder_.File("b.outline"));
    std::filesystem::copy_file(data + "/hostile-version2.outline", folder_.File("c.outline"));

    CommandResult result =
        RunNorvex(folder_.Path(), "diff \"a<b>'&.outline\" c.outline --all --html 'd<i>.html'");
    EXPECT_EQ(result.status, 1) << result.err;
    std::string diffPage = Page("d<i>.html");
    result = RunNorvex(folder_.Path(),
                       "merge \"a<b>'&.outline\" b.outline c.outline -o m.outline --html m.html");
    EXPECT_EQ(result.status, 1) << result.err;
    std::string mergePage = Page("m.html");
    for (const std::string* page : {&diffPage, &mergePage}) {
        EXPECT_EQ(CountOf(*page, "<script"), 1u);  // the page's own
        EXPECT_EQ(CountOf(*page, "<img"), 0u);
        EXPECT_EQ(CountOf(*page, "<b>"), 0u);
        EXPECT_EQ(CountOf(*page, "<u>"), 0u);
        EXPECT_EQ(CountOf(*page, "</main>"), 1u);
        EXPECT_EQ(CountOf(*page, "</details>"), CountOf(*page, "<details"));
        EXPECT_NE(page->find("&lt;script&gt;document.title=&#39;"), std::string::npos);
        EXPECT_NE(page->find("Tom &amp;amp; Jerry&#39;s &quot;quote&quot; &lt;/summary&gt;"),
                  std::string::npos);
    }
    EXPECT_NE(diffPage.find("<title>norvex diff a&lt;b&gt;&#39;&amp;.outline c.outline</title>"),
              std::string::npos);
    EXPECT_NE(diffPage.find("<del>owned</del>"), std::string::npos);
    EXPECT_NE(diffPage.find("<li>property &lt;b&gt;name: <del>&quot;&lt;i&gt;value&quot;</del>"),
              std::string::npos);
    EXPECT_NE(mergePage.find("<div class=\"version1\">&lt;script&gt;document.title=&#39;<ins>pwned"
                             "</ins>&#39;;window.hostile=1&lt;/script&gt;</div>"),
              std::string::npos);
}

TEST_F(HtmlReport, LargeUnchangedPartsAreFoldedIntoCounts) {
    // A small pair is on the page whole, but for an unchanged procedure of 500 statements
    // (one row and a count) and the middle of an unchanged run of 800 (its ends kept).
    auto small = [](const std::string& changed) {
        std::string text = "OUTLINE 1\n1 \"App\"\n  4 \"Quiet\"\n";
        for (int k = 1; k <= 500; ++k) text += "    9 \"Quiet += " + std::to_string(k) + "\"\n";
        text += "  4 \"Busy\"\n";
        for (int k = 1; k <= 900; ++k) {
            text += "    9 \"Busy += " + std::to_string(k) + (k == 100 ? changed : "") + "\"\n";
        }
        return text;
    };
    WriteFileBytes(folder_.File("small-old.outline"), small(""));
    WriteFileBytes(folder_.File("small-new.outline"), small(" ! changed"));
    CommandResult result =
        RunNorvex(folder_.Path(), "diff small-old.outline small-new.outline --html small.html");
    ASSERT_EQ(result.status, 1) << result.err;
    std::string page = Page("small.html");
    EXPECT_NE(page.find(">500 unchanged items<"), std::string::npos);
    EXPECT_EQ(page.find("> Quiet += 1<"), std::string::npos);
    for (int k = 1; k <= 99; ++k) {
        EXPECT_NE(page.find("> Busy += " + std::to_string(k) + "<"), std::string::npos) << k;
    }
    EXPECT_NE(page.find(">794 unchanged items<"), std::string::npos);
    EXPECT_NE(page.find("> Busy += 103<"), std::string::npos);
    EXPECT_EQ(page.find("> Busy += 104<"), std::string::npos);
    EXPECT_NE(page.find("> Busy += 898<"), std::string::npos);

    // 60 procedures of 400 statements: past the size below which every item is on the page.
    // One statement of procedure 30 changes; procedure 31 has a run of 1,000 statements.
    auto outline = [](const std::string& changed) {
        std::string text = "OUTLINE 1\n1 \"App\"\n";
        for (int procedure = 1; procedure <= 60; ++procedure) {
            text += "  4 \"Proc" + std::to_string(procedure) + "\"\n";
            int statements = procedure == 31 ? 1000 : 400;
            for (int k = 1; k <= statements; ++k) {
                std::string line =
                    "Loc:Counter" + std::to_string(procedure) + " += " + std::to_string(k);
                if ((procedure == 30 || procedure == 31) && k == 200) line += changed;
                text += "    9 \"" + line + "\"\n";
            }
        }
        return text;
    };
    WriteFileBytes(folder_.File("big-old.outline"), outline(""));
    WriteFileBytes(folder_.File("big-new.outline"), outline(" ! changed"));
    result = RunNorvex(folder_.Path(), "diff big-old.outline big-new.outline --html big.html");
    ASSERT_EQ(result.status, 1) << result.err;
    page = Page("big.html");
    EXPECT_EQ(CountOf(page, " stop\""), 2u);
    EXPECT_NE(page.find("Loc:Counter30 += 200<ins> ! changed</ins>"), std::string::npos);
    // Past the size of a whole page, the changes stand in their context as in a diff: three
    // siblings either side, an unchanged procedure as one row with its count, the rest counted.
    EXPECT_EQ(CountOf(page, ">400 unchanged items below<"), 12u);
    EXPECT_EQ(CountOf(page, ">9223 unchanged items<"), 2u);  // 23 procedures of 401 items
    EXPECT_NE(page.find("> Loc:Counter30 += 199<"), std::string::npos);
    EXPECT_NE(page.find(">193 unchanged items<"), std::string::npos);  // 1 to 199, less 3 + 3
    EXPECT_EQ(page.find("> Loc:Counter30 += 100<"), std::string::npos);
    // In procedure 31 the run of 800 after the change is counted too, its ends shown.
    EXPECT_NE(page.find(">794 unchanged items<"), std::string::npos);
    EXPECT_NE(page.find("> Loc:Counter31 += 1000<"), std::string::npos);
    EXPECT_EQ(page.find("> Loc:Counter31 += 500<"), std::string::npos);
    EXPECT_LT(page.size(), 50u * 1000u);

    // The merge page folds the same way: a clean merge of the big outline is a small page.
    result = RunNorvex(
        folder_.Path(),
        "merge big-old.outline big-new.outline big-old.outline -o m.outline --html m.html");
    ASSERT_EQ(result.status, 0) << result.err;
    page = Page("m.html");
    EXPECT_NE(page.find("The merge is clean."), std::string::npos);
    EXPECT_EQ(CountOf(page, ">400 items below<"), 6u);
    EXPECT_EQ(CountOf(page, ">22254 items<"), 1u);
    EXPECT_LT(page.size(), 20u * 1000u);
}
