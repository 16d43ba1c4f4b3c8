// tests/windows/progress_window_test.cpp
//
// Progress reaches a real window procedure: a message-only window made with RegisterClassW
// and CreateWindowW, called by user32's SendMessageW while the build runs, on the build's own
// thread, with the texts read back through DIF_BuildGetSection from inside the procedure.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/windows/windows_test_support.h"

namespace {

constexpr UINT kProgressMessage = 0x8123;

struct Received {
    UINT message;
    WPARAM percent;
    LPARAM lParam;
    bool onBuildThread;
    std::string text;
};

// What the procedure needs while a build runs: the library to read the text back.
struct ProcedureState {
    const LibraryModule* library = nullptr;
    DWORD buildThread = 0;
    std::vector<Received> received;
};
ProcedureState g_state;

LRESULT CALLBACK ReceiveProgress(HWND window, UINT message, WPARAM percent, LPARAM lParam) {
    if (message != kProgressMessage) return 0;
    wchar_t text[161] = {};
    uint32_t firstCount = 0, secondCount = 0;
    g_state.library->BuildGetSection(text, 161, &firstCount, &secondCount);
    g_state.received.push_back(
        {message, percent, lParam, GetCurrentThreadId() == g_state.buildThread, Narrow(text)});
    return 0;
}

// One build of the scenario through window, in a scratch folder.
uint16_t BuildScenario(const LibraryModule& library, HWND window, const std::string& scenario,
                       const ScratchFolder& scratch) {
    const std::string folder = TestDataPath("build/" + scenario + "/");
    WriteFileBytes(scratch.File("first.outline"), ReadFileBytes(folder + "first.outline"));
    WriteFileBytes(scratch.File("second.outline"), ReadFileBytes(folder + "second.outline"));
    WorkingDirectory inScratch(scratch.Path());
    g_state.library = &library;
    g_state.buildThread = GetCurrentThreadId();
    g_state.received.clear();
    return library.Build(L"first.outline", L"second.outline", L"result.cmp", window,
                         static_cast<uint16_t>(kProgressMessage), 0);
}

std::string Texts(const std::vector<Received>& received) {
    std::string texts;
    for (const Received& message : received) {
        texts += std::to_string(message.percent) + " " + message.text + "\n";
    }
    return texts;
}

}  // namespace

TEST(ProgressWindow, RealProcedureReceivesEachStepOnTheBuildThread) {
    StringModule strings;
    LibraryModule library;
    ASSERT_TRUE(library.Loaded());
    ScratchFolder scratch;
    HWND window = CreateCallbackWindow(ReceiveProgress);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(IsWindow(window));

    EXPECT_EQ(BuildScenario(library, window, "changes-additions-deletions", scratch), 0);
    const std::vector<Received>& received = g_state.received;
    ASSERT_GE(received.size(), 4u) << Texts(received);
    // The statuses come from the real string table; labels name the sections in between.
    EXPECT_EQ(received.front().percent, 0u);
    EXPECT_EQ(received.front().text, "Loading...");
    EXPECT_EQ(received[1].text, "Processing...");
    EXPECT_EQ(received.back().percent, 100u);
    EXPECT_EQ(received.back().text, "Done.");
    for (const Received& message : received) {
        EXPECT_EQ(message.message, kProgressMessage);
        EXPECT_EQ(message.lParam, 0);
        EXPECT_LE(message.percent, 100u);
        EXPECT_TRUE(message.onBuildThread) << "SendMessageW must call the procedure directly";
    }
    // Section labels name the items on the way down, joined by ":".
    EXPECT_NE(Texts(received).find("\n50 Routine Helper:Source inner line\n"), std::string::npos)
        << Texts(received);

    // The same build again through the same window: the last percentage carries over, but
    // the first build ended at 100, so the second one's 0 is sent again and all repeats.
    std::string firstTexts = Texts(received);
    EXPECT_EQ(BuildScenario(library, window, "changes-additions-deletions", scratch), 0);
    EXPECT_EQ(Texts(g_state.received), firstTexts);
    DestroyCallbackWindow(window);
}

TEST(ProgressWindow, DestroyedWindowGetsNothingAndTheBuildGoesOn) {
    StringModule strings;
    LibraryModule library;
    ScratchFolder scratch;
    HWND window = CreateCallbackWindow(ReceiveProgress);
    DestroyCallbackWindow(window);
    EXPECT_FALSE(IsWindow(window));
    DestroyCallbackWindow(window);  // twice, and a window that is not one of ours: ignored
    DestroyCallbackWindow(GetDesktopWindow());
    EXPECT_EQ(BuildScenario(library, window, "changes-additions-deletions", scratch), 0);
    EXPECT_TRUE(g_state.received.empty()) << Texts(g_state.received);
    EXPECT_TRUE(FileExists(scratch.File("result.cmp")));
    EXPECT_EQ(CreateCallbackWindow(nullptr), nullptr);
}
