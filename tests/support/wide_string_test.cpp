// tests/support/wide_string_test.cpp
//
// The owned wide string keeps its buffer exactly as long as its text; a size off by one
// cuts or pads every label and warning built from it.
#include "support/wide_string.h"

#include <gtest/gtest.h>

#include "resources/string_table.h"
#include "tests/helpers/test_support.h"

TEST(CWideString, SizesCountTheTerminator) {
    CWideString empty;
    EXPECT_EQ(empty.Size(), 1u);
    EXPECT_EQ(empty.Text()[0], 0);
    EXPECT_EQ(CWideString(static_cast<const WCHAR*>(nullptr)).Size(), 1u);

    CWideString label(u"[a.ou");
    label += u"";
    label += CWideString();
    label += static_cast<const WCHAR*>(nullptr);
    EXPECT_EQ(label.Size(), 6u);
    label += u"]";
    EXPECT_EQ(label.Size(), 7u);
    EXPECT_EQ(std::u16string(label.Text()), u"[a.ou]");
}

TEST(CWideString, AssignAndConcatenateCopyWithoutAliasing) {
    CWideString first(u"first");
    CWideString copy(first);
    first += u"!";
    EXPECT_EQ(std::u16string(copy.Text()), u"first");

    // Assigning a string or its own buffer to itself changes nothing.
    CWideString& alias = copy;
    copy = alias;
    copy = copy.Text();
    EXPECT_EQ(std::u16string(copy.Text()), u"first");
    copy = static_cast<const WCHAR*>(nullptr);
    EXPECT_EQ(copy.Size(), 1u);

    // Appending a string to itself doubles it.
    CWideString twice(u"ab");
    twice += twice;
    EXPECT_EQ(std::u16string(twice.Text()), u"abab");
    EXPECT_EQ(twice.Size(), 5u);

    CWideString joined = u"[" + CWideString(u"x") + u"]";
    EXPECT_EQ(std::u16string(joined.Text()), u"[x]");
    EXPECT_EQ(joined.Size(), 4u);
}

TEST(CWideString, LoadsResourcesAndFormats) {
    CWideString done(static_cast<UINT>(kStringDone));
    EXPECT_EQ(std::u16string(done.Text()), u"Done.");
    CWideString none(0u);
    EXPECT_EQ(none.Size(), 1u);

    CWideString missing(u"old");
    EXPECT_FALSE(missing.FromResource(999));
    EXPECT_EQ(missing.Size(), 1u);

    CWideString number;
    number.Format(u"%d", 42);
    EXPECT_EQ(number.Size(), 3u);
    EXPECT_EQ(std::u16string(number.Text()), u"42");

    CWideString warning;
    warning.Format(u"#### DIFF: Warning %d %s ####", 3, u"[v1]");
    EXPECT_EQ(Narrow(warning.Text()), "#### DIFF: Warning 3 [v1] ####");

    // Nothing formatted, and a result past 4,095 characters, both leave the empty string.
    CWideString nothing(u"old");
    nothing.Format(u"");
    EXPECT_EQ(nothing.Size(), 1u);
    std::u16string longest(4095, u'x'), tooLong(4096, u'x');
    CWideString fits, overflows(u"old");
    fits.Format(u"%s", longest.c_str());
    overflows.Format(u"%s", tooLong.c_str());
    EXPECT_EQ(fits.Size(), 4096u);
    EXPECT_EQ(overflows.Size(), 1u);
}
