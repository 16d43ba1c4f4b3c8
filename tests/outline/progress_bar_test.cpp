// tests/outline/progress_bar_test.cpp
//
// What the caller's window receives: one message per new percentage or text, nested levels
// dividing their parent's step, and nothing at all without a window.
#include "outline/progress_bar.h"

#include <gtest/gtest.h>

#include "resources/string_table.h"
#include "support/run_state.h"
#include "tests/helpers/test_support.h"

namespace {

constexpr UINT kMessage = 0x400;
std::vector<std::pair<int, std::string>> g_sent;

LRESULT CALLBACK RecordMessage(HWND, UINT, WPARAM percent, LPARAM) {
    g_sent.emplace_back(static_cast<int>(percent), Narrow(g_runState.lastText));
    return 0;
}

class ProgressBar : public ::testing::Test {
protected:
    void SetUp() override {
        g_sent.clear();
        g_runState.lastPercent = kNoPercentSent;
        g_runState.lastText[0] = 0;
        window_ = CreateCallbackWindow(RecordMessage);
        progress_.SetTarget(window_, kMessage);
    }
    void TearDown() override { DestroyCallbackWindow(window_); }

    HWND window_ = nullptr;
    CProgressBar progress_;
};

using Sent = std::vector<std::pair<int, std::string>>;

}  // namespace

TEST_F(ProgressBar, SendsOnlyWhenPercentageOrTextChanges) {
    progress_.SendProgress(0, u"");  // the first report of a process is always sent
    progress_.SendProgress(37, u"section");
    progress_.SendProgress(37, u"section");
    progress_.SendProgress(37, nullptr);
    progress_.ReportStatus(kLastPercent, kStringAborting);
    progress_.ReportStatus(kLastPercent, kStringAborting);
    progress_.SendProgress(40, nullptr);  // a new percentage keeps the old text
    EXPECT_EQ(g_sent, (Sent{{0, ""}, {37, "section"}, {37, "Aborting..."}, {40, "Aborting..."}}));

    // A text longer than 160 characters is kept as its first 160.
    std::u16string longText(200, u'y');
    progress_.SendProgress(41, longText.c_str());
    EXPECT_EQ(Narrow(g_runState.lastText), std::string(160, 'y'));
}

TEST_F(ProgressBar, WithoutWindowOrMessageNothingIsSentOrKept) {
    progress_.SendProgress(10, u"kept");
    CProgressBar silent;  // never given a target
    silent.SendProgress(50, u"lost");
    progress_.SetTarget(window_, 0);
    progress_.SendProgress(60, u"lost");
    EXPECT_EQ(g_sent, (Sent{{10, "kept"}}));
    EXPECT_EQ(Narrow(g_runState.lastText), "kept");
    EXPECT_EQ(g_runState.lastPercent, 10);
}

TEST_F(ProgressBar, LevelsDivideTheirParentsStep) {
    progress_.SetLevels(4);
    progress_.BeginLevel(4, 2);              // four steps over 0..100
    progress_.StepLevel(2, 1, 4, u"b");      // 25
    progress_.BeginLevel(3, 3);              // each step of level 2 spans 25: thirds of 25
    progress_.StepLevel(3, 2, 3, u"b:3");    // 25 + 25 * 2 / 3 = 41
    progress_.BeginLevel(2, 4);              // span 25 / 3 = 8
    progress_.StepLevel(4, 1, 2, u"b:3:2");  // 41 + 8 * 1 / 2 = 45
    progress_.StepLevel(1, 0, 1, u"call");   // below the first reporting level
    progress_.StepLevel(5, 0, 1, u"deep");   // above the last
    EXPECT_EQ(g_sent, (Sent{{25, "b"}, {41, "b:3"}, {45, "b:3:2"}}));

    // A level whose parent announced no steps reports the parent's base.
    g_sent.clear();
    progress_.SetLevels(3);
    progress_.BeginLevel(0, 2);
    progress_.StepLevel(2, 0, 0, u"empty");
    progress_.BeginLevel(5, 3);
    progress_.StepLevel(3, 4, 5, u"child");
    EXPECT_EQ(g_sent, (Sent{{0, "empty"}, {0, "child"}}));

    // Levels turned off report nothing.
    g_sent.clear();
    progress_.SetLevels(1);
    progress_.BeginLevel(2, 2);
    progress_.StepLevel(2, 1, 2, u"off");
    EXPECT_TRUE(g_sent.empty());
}
