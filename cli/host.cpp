// cli/host.cpp: the progress window, the bar on standard error and the warning lines. On
// Windows the window is a real one, and the strings come from the module Norvex51.dll.
#include "cli/host.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include <unistd.h>

#include "cli/terminal_text.h"
#include "include/norvex63.h"
#include "platform/host_hooks.h"
#include "platform/pending_removals.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

#ifdef _WIN32
// The command writes the same bytes on every system (scripts and git's merge driver read
// them), so its standard output and error are not given CR before LF.
const bool g_binaryOutput =
    _setmode(_fileno(stdout), _O_BINARY) != -1 && _setmode(_fileno(stderr), _O_BINARY) != -1;
#endif

constexpr int kBarWidth = 30;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

// The one session under way; the window procedure and the box handler reach it through here.
struct BarState {
    bool enabled = false;
    bool drawn = false;
    int warnings = 0;
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
                 TerminalFromWide(reinterpret_cast<const WCHAR*>(text)).c_str());
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
    std::string line = text != nullptr ? MessageFromWide(text, static_cast<size_t>(lstrlenW(text)))
                                       : std::string();
    for (char& letter : line) {
        if (letter == '\n' || letter == '\r') letter = ' ';
    }
    std::fprintf(stderr, "norvex: warning: %s\n", line.c_str());
    ++g_bar.warnings;
    return IDOK;
}

}  // namespace

HostSession::HostSession(bool showProgress) {
    g_bar = BarState();
    g_bar.enabled = showProgress && IsTerminal(STDERR_FILENO);
#ifdef _WIN32
    stringModule_ = LoadStringModule();
#endif
    window_ = CreateCallbackWindow(ReceiveProgress);
    SetMessageBoxHandler(PrintBox);
}

HostSession::~HostSession() {
    Finish();
    SetMessageBoxHandler(nullptr);
    DestroyCallbackWindow(window_);
#ifdef _WIN32
    UnloadStringModule(stringModule_);
#endif
}

int HostSession::Warnings() const { return g_bar.warnings; }

void HostSession::Finish() {
    ClearBar();
    g_bar.enabled = false;
}

PrivateFolder::PrivateFolder(const char* prefix, const std::string& fallbackFolder) {
    std::vector<std::filesystem::path> places;
    std::error_code error;
    std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
    if (!error) places.push_back(temporary);
    if (!fallbackFolder.empty()) places.emplace_back(fallbackFolder);
    places.emplace_back(".");
    for (const std::filesystem::path& place : places) {
        std::string pattern = (place / (std::string(prefix) + "-XXXXXX")).string();
        if (mkdtemp(pattern.data()) == nullptr) continue;
        path_ = pattern;
        pendingSlots_.push_back(RememberPath(path_.c_str(), true));
        return;
    }
}

PrivateFolder::~PrivateFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    for (int slot : pendingSlots_) ForgetPath(slot);
}

std::string PrivateFolder::File(const std::string& name) {
    std::string path = path_ + "/" + name;
    pendingSlots_.push_back(RememberPath(path.c_str(), false));
    return path;
}

bool CopyStandardInput(const std::string& path) {
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    char block[1 << 16];
    bool good = true;
    for (;;) {
        size_t got = std::fread(block, 1, sizeof block, stdin);
        if (got > 0 && std::fwrite(block, 1, got, file) != got) good = false;
        if (got < sizeof block) break;
    }
    if (std::ferror(stdin)) good = false;
    return std::fclose(file) == 0 && good;
}

namespace {

void RemoveAndEnd(int signal) {
    RemovePendingPaths();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

}  // namespace

void RemoveTemporariesOnInterrupt() {
    std::signal(SIGINT, RemoveAndEnd);
    std::signal(SIGTERM, RemoveAndEnd);
#ifdef SIGHUP
    std::signal(SIGHUP, RemoveAndEnd);
#endif
}

bool IsTerminal(int descriptor) { return isatty(descriptor) != 0; }

#ifdef _WIN32
char* mkdtemp(char* pattern) {
    // The same XXXXXX ending as elsewhere: _mktemp_s fills it in, and the folder is made
    // alone, so that an existing folder of the name is never taken over.
    size_t length = std::strlen(pattern);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate(pattern);
        if (_mktemp_s(candidate.data(), length + 1) != 0) return nullptr;
        if (CreateDirectoryA(candidate.c_str(), nullptr)) {
            std::memcpy(pattern, candidate.c_str(), length);
            return pattern;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) return nullptr;
    }
    return nullptr;
}
#endif

std::string AbsolutePath(const std::string& path) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}
