// tests/cli/merge_comments_test.cpp
//
// The one reader of the merge's comments serves the command's list and the merge page, which
// have always read a banner differently where an item text or a label holds " ####" or
// " ! ####". Merging the two readings into one would change what one of them prints.
#include "cli/merge_comments.h"

#include <gtest/gtest.h>

#include <string>

TEST(MergeComment, PageAndListReadTheirOwnEndsOfABanner) {
    struct Case {
        const char* text;
        const char* number;
        const char* ownText;
        const char* message;        // the page's: up to the text's last " ####"
        const char* listedMessage;  // the list's: up to the first " ####" after the mark
        const char* listedOwnText;  // nullptr: the text has no " ! ####"
        int source;
    } cases[] = {
        {"a ! #### b ! #### DIFF: Conflict 2 (C001) - Text - Copied from version 1 [x #### y] ####",
         "2", "a ! #### b", "(C001) - Text - Copied from version 1 [x #### y]",
         "(C001) - Text - Copied from version 1 [x", "a", 1},
        {"x = 3 ! #### DIFF: Conflict - Incompatible change near here ####", "", "x = 3",
         "Incompatible change near here", "Incompatible change near here", "x = 3", -1},
        // No message: the page shows what follows the number, the list nothing.
        {"#### DIFF: Conflict 007 ####", "007", "", "####", "", nullptr, -1},
        // A mark without the lead " ! " leaves the item's own text to the page alone.
        {"y #### DIFF: Conflict 4 (C002) - Deleted from version 2 [b] ####", "4", "y ",
         "(C002) - Deleted from version 2 [b]", "(C002) - Deleted from version 2 [b]", nullptr, 2},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.text);
        MergeComment comment;
        ASSERT_TRUE(ReadMergeComment(test.text, &comment));
        EXPECT_TRUE(comment.conflict);
        EXPECT_EQ(comment.number, test.number);
        EXPECT_EQ(comment.ownText, test.ownText);
        EXPECT_EQ(comment.ownText + comment.banner, test.text);
        EXPECT_EQ(comment.message, test.message);
        EXPECT_EQ(comment.listedMessage, test.listedMessage);
        EXPECT_EQ(comment.listedOwnText.value_or("(none)"),
                  test.listedOwnText != nullptr ? test.listedOwnText : "(none)");
        EXPECT_EQ(comment.source, test.source);
    }
    // A conflict mark wins over a warning mark before it; a text with neither is no comment.
    MergeComment comment;
    ASSERT_TRUE(ReadMergeComment("#### DIFF: Warning 1 w #### DIFF: Conflict 2 c ####", &comment));
    EXPECT_TRUE(comment.conflict);
    EXPECT_EQ(comment.number, "2");
    EXPECT_FALSE(ReadMergeComment("#### DIFF: Conflict", &comment));
    EXPECT_EQ(SummarizeMergeMessage("(C001) - Text - Copied from version 1 [a]"), "(C001) Text");
}
