// tests/windows/progress_window_test.cpp
//
// Progress reaches a real window procedure: a message-only window made with RegisterClassW
// and CreateWindowW, called by user32's SendMessageW while the build runs, on the build's own
// thread, with the texts read back through DIF_BuildGetSection from inside the procedure.
#include <gtest/gtest.h>

#include <string>

#include "tests/windows/windows_test_support.h"

TEST(ProgressWindow, RealProcedureReceivesEachStepOnTheBuildThread) {
    StringModule strings;
    LibraryModule library;
    ASSERT_TRUE(library.Loaded());
    ScratchFolder scratch;
    HWND window = CreateCallbackWindow(RecordProgress);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(IsWindow(window));

    EXPECT_EQ(BuildScenario(library, window, "changes-additions-deletions", scratch), 0);
    const std::vector<Progress>& received = Received();
    ASSERT_GE(received.size(), 4u) << ReceivedTexts();
    // The statuses come from the real string table; labels name the sections in between.
    EXPECT_EQ(received.front().percent, 0u);
    EXPECT_EQ(received.front().text, "Loading...");
    EXPECT_EQ(received[1].text, "Processing...");
    EXPECT_EQ(received.back().percent, 100u);
    EXPECT_EQ(received.back().text, "Done.");
    for (const Progress& message : received) {
        EXPECT_EQ(message.message, kProgressMessage);
        EXPECT_EQ(message.lParam, 0);
        EXPECT_LE(message.percent, 100u);
        EXPECT_TRUE(message.onBuildThread) << "SendMessageW must call the procedure directly";
    }
    // Section labels name the items on the way down, joined by ":".
    EXPECT_NE(ReceivedTexts().find("\n50 Routine Helper:Source inner line\n"), std::string::npos)
        << ReceivedTexts();

    // The same build again through the same window: the last percentage carries over, but
    // the first build ended at 100, so the second one's 0 is sent again and all repeats.
    std::string firstTexts = ReceivedTexts();
    EXPECT_EQ(BuildScenario(library, window, "changes-additions-deletions", scratch), 0);
    EXPECT_EQ(ReceivedTexts(), firstTexts);
    DestroyCallbackWindow(window);
}

TEST(ProgressWindow, DestroyedWindowGetsNothingAndTheBuildGoesOn) {
    StringModule strings;
    LibraryModule library;
    ScratchFolder scratch;
    HWND window = CreateCallbackWindow(RecordProgress);
    DestroyCallbackWindow(window);
    EXPECT_FALSE(IsWindow(window));
    DestroyCallbackWindow(window);  // twice, and a window that is not one of ours: ignored
    DestroyCallbackWindow(GetDesktopWindow());
    EXPECT_EQ(BuildScenario(library, window, "changes-additions-deletions", scratch), 0);
    EXPECT_TRUE(Received().empty()) << ReceivedTexts();
    EXPECT_TRUE(FileExists(scratch.File("result.cmp")));
    EXPECT_EQ(CreateCallbackWindow(nullptr), nullptr);
}
