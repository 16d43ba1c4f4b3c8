// cli/host.cpp: the progress window, the bar on standard error and the warning lines.
#include "cli/host.h"

#include <chrono>
#include <cstdio>
#include <filesystem>

#include <unistd.h>

#include "cli/terminal_text.h"
#include "driver/norvex63.h"
#include "platform/host_hooks.h"

namespace {

constexpr int kBarWidth = 30;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

// The one session under way; the window procedure and the box handler reach it through here.
struct BarState {
    bool enabled = false;
    bool drawn = false;
    int lastPercent = -1;
    std::chrono::steady_clock::time_point lastDrawn;
};
BarState g_bar;

void ClearBar() {
    if (!g_bar.drawn) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    g_bar.drawn = false;
}

void DrawBar(int percent) {
    DIF_CHAR text[161] = {};
    DIF_BuildGetSection(text, 161, nullptr, nullptr);
    int filled = percent * kBarWidth / 100;
    std::string bar(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(kBarWidth - filled), '.');
    std::fprintf(stderr, "\r\033[K[%s] %3d%% %s", bar.c_str(), percent,
                 TerminalFromWide(reinterpret_cast<const WCHAR*>(text),
                                  std::char_traits<char16_t>::length(text))
                     .c_str());
    std::fflush(stderr);
    g_bar.drawn = true;
}

LRESULT CALLBACK ReceiveProgress(HWND, UINT message, WPARAM percent, LPARAM) {
    if (message != kProgressMessage || !g_bar.enabled) return 0;
    int value = percent > 100 ? 100 : static_cast<int>(percent);
    auto now = std::chrono::steady_clock::now();
    // Redraw on a new percentage only, and not more often than ten times a second.
    if (value == g_bar.lastPercent) return 0;
    if (g_bar.drawn && now - g_bar.lastDrawn < kRedrawInterval && value != 100) return 0;
    g_bar.lastPercent = value;
    g_bar.lastDrawn = now;
    DrawBar(value);
    return 0;
}

int PrintBox(HWND, LPCWSTR text, LPCWSTR caption, UINT) {
    ClearBar();
    std::string line = text != nullptr ? TerminalFromWide(text, static_cast<size_t>(lstrlenW(text)))
                                       : std::string();
    for (char& letter : line) {
        if (letter == '\n' || letter == '\r') letter = ' ';
    }
    std::fprintf(stderr, "norvex: warning: %s\n", line.c_str());
    return IDOK;
}

}  // namespace

HostSession::HostSession(bool showProgress) {
    g_bar = BarState();
    g_bar.enabled = showProgress && IsTerminal(STDERR_FILENO);
    window_ = CreateCallbackWindow(ReceiveProgress);
    SetMessageBoxHandler(PrintBox);
}

HostSession::~HostSession() {
    Finish();
    SetMessageBoxHandler(nullptr);
    DestroyCallbackWindow(window_);
}

void HostSession::Finish() {
    ClearBar();
    g_bar.enabled = false;
}

bool IsTerminal(int descriptor) { return isatty(descriptor) != 0; }

std::string AbsolutePath(const std::string& path) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}
