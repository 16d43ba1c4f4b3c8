// tests/platform/user_services_test.cpp
//
// Windows, message boxes and string modules: the progress window's procedure may call back
// into the layer while it runs, warning boxes must keep caption and text apart, and the
// library must survive its string module being taken away.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/host_hooks.h"
#include "tests/helpers/test_support.h"

namespace {

struct Received {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

std::vector<Received> g_received;
HWND g_otherWindow = nullptr;

LRESULT CALLBACK RecordingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    g_received.push_back({window, message, wParam, lParam});
    return static_cast<LRESULT>(message) * 10;
}

// Message 1 sends to itself and to another window; message 3 destroys its own window.
LRESULT CALLBACK ReentrantProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    g_received.push_back({window, message, wParam, lParam});
    if (message == 1) {
        return SendMessageW(window, 2, 0, 0) + SendMessageW(g_otherWindow, 5, 0, 0);
    }
    if (message == 3) {
        DestroyCallbackWindow(window);
        return 7;
    }
    return 1;
}

}  // namespace

TEST(CallbackWindow, ProcedureAnswersUntilTheWindowIsDestroyed) {
    g_received.clear();
    HWND window = CreateCallbackWindow(RecordingProcedure);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(SendMessageW(window, 4, 11, -12), 40);
    ASSERT_EQ(g_received.size(), 1u);
    EXPECT_EQ(g_received[0].window, window);
    EXPECT_EQ(g_received[0].wParam, 11u);
    EXPECT_EQ(g_received[0].lParam, -12);
    DestroyCallbackWindow(window);
    EXPECT_EQ(SendMessageW(window, 4, 0, 0), 0);
    EXPECT_EQ(g_received.size(), 1u);
    // A destroyed handle is never given again, so stale senders cannot reach a new window.
    HWND later = CreateCallbackWindow(RecordingProcedure);
    EXPECT_NE(later, window);
    EXPECT_EQ(SendMessageW(window, 4, 0, 0), 0);
    DestroyCallbackWindow(later);
    DestroyCallbackWindow(later);
    EXPECT_EQ(SendMessageW(nullptr, 4, 0, 0), 0);
    EXPECT_EQ(CreateCallbackWindow(nullptr), nullptr);
    EXPECT_EQ(g_received.size(), 1u);
}

TEST(CallbackWindow, ProcedureMaySendAndDestroyFromInsideItsCall) {
    g_received.clear();
    HWND window = CreateCallbackWindow(ReentrantProcedure);
    g_otherWindow = CreateCallbackWindow(RecordingProcedure);
    EXPECT_EQ(SendMessageW(window, 1, 0, 0), 1 + 50);
    ASSERT_EQ(g_received.size(), 3u);
    EXPECT_EQ(g_received[1].message, 2u);
    EXPECT_EQ(g_received[2].window, g_otherWindow);
    EXPECT_EQ(SendMessageW(window, 3, 0, 0), 7);
    EXPECT_EQ(SendMessageW(window, 1, 0, 0), 0);
    EXPECT_EQ(g_received.size(), 4u);
    DestroyCallbackWindow(g_otherWindow);
}

TEST(MessageBox, HandlerSeesCaptionAndTextApartAndTheDefaultPrintsOneLine) {
    {
        MessageBoxRecorder boxes;
        EXPECT_EQ(MessageBoxW(nullptr, u"body", u"title", MB_OK), IDOK);
        EXPECT_EQ(MessageBoxW(nullptr, u"text", u"caption", MB_ICONINFORMATION), IDOK);
        EXPECT_EQ(boxes.Lines(), "title | body\ncaption | text (not a plain OK box)");
    }
    // The handler taken away, the default is back.
    testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBoxW(nullptr, u"Text \u00e9\xD800", u"Caption", MB_OK), IDOK);
    EXPECT_EQ(MessageBoxW(nullptr, nullptr, nullptr, MB_OK), IDOK);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Caption: Text \xC3\xA9\xEF\xBF\xBD\n: \n");
}

TEST(StringModule, LoadStringCopiesCutsAndPointsAtItsText) {
    const StringResource strings[] = {{1, u"Hello"}, {2, u""}, {9, u"x"}};
    HMODULE module = RegisterStringModule(u"PlatformTestStrings", strings, 3);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(GetModuleHandleW(u"PlatformTestStrings"), module);
    WCHAR buffer[16];
    EXPECT_EQ(LoadStringW(module, 1, buffer, 16), 5);
    EXPECT_EQ(std::u16string(buffer), u"Hello");
    EXPECT_EQ(LoadStringW(module, 1, buffer, 3), 2);
    EXPECT_EQ(std::u16string(buffer), u"He");
    EXPECT_EQ(LoadStringW(module, 1, buffer, 1), 0);
    EXPECT_EQ(buffer[0], 0);
    for (UINT missing : {2u, 3u, 0u}) {
        buffer[0] = u'#';
        EXPECT_EQ(LoadStringW(module, missing, buffer, 16), 0);
        EXPECT_EQ(buffer[0], 0);
    }
    LPCWSTR pointer = nullptr;
    EXPECT_EQ(LoadStringW(module, 1, reinterpret_cast<LPWSTR>(&pointer), 0), 5);
    EXPECT_EQ(pointer, strings[0].text);
    // The executable's module is a handle of its own, with no strings.
    HMODULE executable = GetModuleHandleW(nullptr);
    EXPECT_NE(executable, nullptr);
    EXPECT_NE(executable, module);
    EXPECT_EQ(LoadStringW(executable, 1, buffer, 16), 0);
    EXPECT_EQ(LoadStringW(nullptr, 1, buffer, 16), 0);
    EXPECT_EQ(GetModuleHandleW(u"platformteststrings"), nullptr);
    UnregisterStringModule(u"PlatformTestStrings");
}
