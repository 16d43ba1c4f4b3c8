// tests/html/html_page_test.cpp
//
// The pieces of the reports that a wrong byte breaks: an outline text that escapes into markup,
// a word comparison that drops or doubles a word, a tree whose elements do not close, a digest
// that does not match what the browser computes. A page that cannot be written is the command
// scenario page-not-written.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/html_page.h"
#include "tests/cli/command_runner.h"
#include "tests/html/shown_text.h"

namespace {

// The words inside the <tag> elements of html, in order.
std::vector<std::string> Marked(const std::string& html, const std::string& tag) {
    std::vector<std::string> marked;
    std::string open = "<" + tag + ">", close = "</" + tag + ">";
    for (size_t at = html.find(open); at != std::string::npos; at = html.find(open, at + 1)) {
        size_t end = html.find(close, at);
        marked.push_back(ShownText(html.substr(at + open.size(), end - at - open.size())));
    }
    return marked;
}

}  // namespace

TEST(EscapeHtml, NoOutlineTextOpensAnElementOrLeavesAnAttribute) {
    EXPECT_EQ(EscapeHtml("<script>alert(1)</script>"), "&lt;script&gt;alert(1)&lt;/script&gt;");
    EXPECT_EQ(EscapeHtml("a \"b\" 'c' & &amp;"), "a &quot;b&quot; &#39;c&#39; &amp; &amp;amp;");
    EXPECT_EQ(EscapeHtml("<img src=x onerror=\"alert(1)\">"),
              "&lt;img src=x onerror=&quot;alert(1)&quot;&gt;");
    // Controls would be invisible or refused by the parser; TAB and LF stay as they are.
    EXPECT_EQ(EscapeHtml(std::string("a\x01\x7f\tb\nc\r\0", 9)),
              "a\\u0001\\u007F\tb\nc\\u000D\\u0000");
    // UTF-8 passes whole: a sequence is never split or escaped.
    EXPECT_EQ(EscapeHtml("Gr\xC3\xB6\xC3\x9F"
                         "e \xF0\x9F\x99\x82"),
              "Gr\xC3\xB6\xC3\x9F"
              "e \xF0\x9F\x99\x82");
    EXPECT_EQ(EscapeHtml(""), "");
}

TEST(DiffWords, KeepsTheCommonWordsAndMarksEachSidesOwn) {
    // One word replaced among kept ones, signs as words of their own.
    WordDiff diff =
        DiffWords("IF ERRORCODE() THEN RETURN Level:Fatal.",
                  "IF ERRORCODE() THEN Message('Cannot open stock'); RETURN Level:Fatal.");
    EXPECT_TRUE(Marked(diff.oldHtml, "del").empty()) << diff.oldHtml;
    EXPECT_EQ(Marked(diff.newHtml, "ins"),
              std::vector<std::string>{"Message('Cannot open stock'); "})
        << diff.newHtml;
    EXPECT_EQ(ShownText(diff.oldHtml), "IF ERRORCODE() THEN RETURN Level:Fatal.");
    EXPECT_EQ(ShownText(diff.newHtml),
              "IF ERRORCODE() THEN Message('Cannot open stock'); RETURN Level:Fatal.");

    // A word changed in the middle: removed on one side, added on the other, nothing else.
    diff = DiffWords("OK button", "Apply button");
    EXPECT_EQ(diff.oldHtml, "<del>OK</del> button");
    EXPECT_EQ(diff.newHtml, "<ins>Apply</ins> button");

    // Equal texts: no mark at all; one side empty: the other all marked.
    diff = DiffWords("same text", "same text");
    EXPECT_EQ(diff.oldHtml, "same text");
    EXPECT_EQ(diff.newHtml, "same text");
    diff = DiffWords("", "all new");
    EXPECT_EQ(diff.oldHtml, "");
    EXPECT_EQ(diff.newHtml, "<ins>all new</ins>");
    diff = DiffWords("all gone", "");
    EXPECT_EQ(diff.oldHtml, "<del>all gone</del>");

    // Words are escaped inside their marks, and a reordered pair keeps one of the two words.
    diff = DiffWords("a <b> c", "c <b> a");
    EXPECT_EQ(ShownText(diff.oldHtml), "a <b> c");
    EXPECT_EQ(ShownText(diff.newHtml), "c <b> a");
    EXPECT_EQ(diff.oldHtml.find("<b>"), std::string::npos);

    // Non-ASCII letters belong to their word: one changed letter marks the whole word once.
    diff = DiffWords(
        "Gr\xC3\xB6\xC3\x9F"
        "e 1",
        "Gr\xC3\xB6\xC3\x9F"
        "en 1");
    EXPECT_EQ(Marked(diff.oldHtml, "del"), std::vector<std::string>{"Gr\xC3\xB6\xC3\x9F"
                                                                    "e"});
    EXPECT_EQ(Marked(diff.newHtml, "ins"), std::vector<std::string>{"Gr\xC3\xB6\xC3\x9F"
                                                                    "en"});
}

TEST(DiffWords, LongTextsPastTheTableStillShowBothTextsWhole) {
    std::string oldText, newText;
    for (int k = 0; k < 1500; ++k) {
        oldText += "w" + std::to_string(k) + " ";
        newText += "v" + std::to_string(k) + " ";
    }
    oldText = "head " + oldText + "tail";
    newText = "head " + newText + "tail";
    WordDiff diff = DiffWords(oldText, newText);
    EXPECT_EQ(ShownText(diff.oldHtml), oldText);
    EXPECT_EQ(ShownText(diff.newHtml), newText);
    // The common beginning and end stay unmarked even when the middle is too large.
    EXPECT_EQ(diff.oldHtml.rfind("head ", 0), 0u);
    EXPECT_EQ(diff.newHtml.substr(diff.newHtml.size() - 4), "tail");

    // The words joined give the text back, whatever it holds.
    std::string mixed = "x_1+=  y\t\xE2\x82\xAC;\n";
    std::string joined;
    for (const std::string& word : SplitWords(mixed)) joined += word;
    EXPECT_EQ(joined, mixed);
    EXPECT_EQ(SplitWords("x_1+=  y"), (std::vector<std::string>{"x_1", "+", "=", " ", " ", "y"}));
}

TEST(PageTree, NestsRowsInPreOrderAndClosesEveryElement) {
    PageTree tree;
    auto row = [](int depth, bool children, bool open, const char* text) {
        PageRow r;
        r.depth = depth;
        r.hasChildren = children;
        r.open = open;
        r.contentHtml = text;
        return r;
    };
    tree.Add(row(0, true, true, "root"));
    tree.Add(row(1, true, false, "a"));
    tree.Add(row(2, false, false, "a1"));
    tree.Add(row(1, false, false, "b"));
    PageRow stop = row(1, false, false, "c");
    stop.stop = true;
    stop.id = "change-\"1\"";
    stop.classes = "changed";
    tree.Add(stop);
    std::string html = tree.Finish();
    EXPECT_EQ(
        html,
        "<details open><summary class=\"row\">root</summary>\n"
        "<details><summary class=\"row\" data-d=\"1\">a</summary>\n"
        "<div class=\"row\" data-d=\"2\">a1</div>\n"
        "</details>\n"
        "<div class=\"row\" data-d=\"1\">b</div>\n"
        "<div class=\"row changed stop\" data-d=\"1\" id=\"change-&quot;1&quot;\" tabindex=\"-1\">"
        "c</div>\n"
        "</details>\n");

    // Ten thousand levels cost no recursion and close in order.
    for (int depth = 0; depth < 10000; ++depth) tree.Add(row(depth, true, true, "x"));
    html = tree.Finish();
    size_t opened = 0, closed = 0;
    for (size_t at = html.find("<details"); at != std::string::npos;
         at = html.find("<details", at + 1))
        ++opened;
    for (size_t at = html.find("</details>"); at != std::string::npos;
         at = html.find("</details>", at + 1))
        ++closed;
    EXPECT_EQ(opened, 10000u);
    EXPECT_EQ(closed, 10000u);
}

TEST(AssemblePage, NamesItsOwnStyleAndScriptByDigestAndNothingElse) {
    // Digests as a browser computes them, for texts whose SHA-256 is published.
    EXPECT_EQ(ContentDigest(""), "47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU=");
    EXPECT_EQ(ContentDigest("abc"), "ungWv48Bz+pBQUDeXa4iI7ADYaOWF3qctBD/YfIAFa0=");
    // 56 bytes: the length field no longer fits the block, so padding takes a second one.
    EXPECT_EQ(ContentDigest("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "JI1qYdIGOLjlwCaTDD5gOaM85Flk/yFn9uzt1BnbBsE=");
    EXPECT_EQ(ContentDigest(std::string(1000000, 'a')),
              "zcduXJkU+5KBocfihNc+Z/GAmkiklyAOBG05zMcRLNA=");

    std::string page = AssemblePage("A <title> & more", "<body>\n<p>x</p>\n");
    size_t style = page.find("<style>"), styleEnd = page.find("</style>");
    size_t script = page.find("<script>"), scriptEnd = page.find("</script>");
    ASSERT_NE(style, std::string::npos);
    ASSERT_NE(script, std::string::npos);
    std::string styleText = page.substr(style + 7, styleEnd - style - 7);
    std::string scriptText = page.substr(script + 8, scriptEnd - script - 8);
    EXPECT_NE(page.find("style-src 'sha256-" + ContentDigest(styleText) + "'"), std::string::npos);
    EXPECT_NE(page.find("script-src 'sha256-" + ContentDigest(scriptText) + "'"),
              std::string::npos);
    EXPECT_NE(page.find("default-src 'none'"), std::string::npos);
    EXPECT_NE(page.find("<title>A &lt;title&gt; &amp; more</title>"), std::string::npos);
    EXPECT_EQ(page.find("http:"), std::string::npos);  // nothing from the network
    EXPECT_EQ(page.find("https:"), std::string::npos);
    EXPECT_EQ(page.find("<script", script + 1), std::string::npos);
}
