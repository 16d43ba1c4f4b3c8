// tests/windows/windows_test_support.cpp: shared code of the Windows tests.
#include "tests/windows/windows_test_support.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

std::wstring WideFromUtf8(const std::string& text) {
    if (text.empty()) return std::wstring();
    int length =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                        length);
    return wide;
}

std::string Utf8FromWide(const wchar_t* text) {
    if (text == nullptr) return "(none)";
    int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1) return std::string();
    std::string narrow(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow.data(), length, nullptr, nullptr);
    narrow.pop_back();
    return narrow;
}

// ---- The library as a host loads it ------------------------------------------------------

namespace {

template <typename Function>
void LookUp(const LibraryModule& library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(library.Find(name)));
}

}  // namespace

LibraryModule::LibraryModule() : module_(LoadLibraryW(L"Norvex63.dll")) {
    LookUp(*this, "DIF_Build", Build);
    LookUp(*this, "DIF_BuildAbort", BuildAbort);
    LookUp(*this, "DIF_BuildGetSection", BuildGetSection);
    LookUp(*this, "DIF_Merge", Merge);
    LookUp(*this, "DIF_CompareLoad", CompareLoad);
    LookUp(*this, "DIF_CompareCount", CompareCount);
    LookUp(*this, "DIF_CompareUnload", CompareUnload);
    LookUp(*this, "DLLEntryPoint", EntryPoint);
}

LibraryModule::~LibraryModule() {
    if (module_ != nullptr) FreeLibrary(module_);
}

FARPROC LibraryModule::Find(const char* name) const {
    return module_ != nullptr ? GetProcAddress(module_, name) : nullptr;
}

// ---- Message boxes -----------------------------------------------------------------------

namespace {

std::string g_boxLines;

int RecordBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    if (!g_boxLines.empty()) g_boxLines += "\n";
    g_boxLines += Utf8FromWide(caption) + " | " + Utf8FromWide(text);
    return IDOK;
}

}  // namespace

BoxRecorder::BoxRecorder() {
    g_boxLines.clear();
    SetMessageBoxHandler(RecordBox);
}

BoxRecorder::~BoxRecorder() { SetMessageBoxHandler(nullptr); }

std::string BoxRecorder::Lines() const { return g_boxLines; }

void BoxRecorder::Clear() { g_boxLines.clear(); }

// ---- Files and folders -------------------------------------------------------------------

ScratchFolder::ScratchFolder() {
    static unsigned counter = 0;
    fs::path base = fs::temp_directory_path();
    for (;;) {
        fs::path candidate = base / ("norvex-win-" + std::to_string(GetCurrentProcessId()) + "-" +
                                     std::to_string(++counter));
        std::error_code error;
        if (fs::create_directory(candidate, error)) {
            path_ = candidate.string();
            break;
        }
    }
    previous_ = fs::current_path().wstring();
    fs::current_path(path_);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    fs::current_path(previous_, ignored);
    fs::remove_all(path_, ignored);
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(fs::u8path(path), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(fs::u8path(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool FileExists(const std::string& path) {
    std::error_code ignored;
    return fs::exists(fs::u8path(path), ignored);
}

void CopyWithFixedTime(const std::string& source, const std::string& target) {
    WriteFileBytes(target, ReadFileBytes(source));
    // 1700000000 seconds after 1970, in the 100-nanosecond steps since 1601 of a FILETIME.
    const unsigned long long fileTime = (1700000000ULL + 11644473600ULL) * 10000000ULL;
    FILETIME fixed = {static_cast<DWORD>(fileTime), static_cast<DWORD>(fileTime >> 32)};
    HANDLE file = CreateFileW(WideFromUtf8(target).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    SetFileTime(file, &fixed, &fixed, &fixed);
    CloseHandle(file);
}

void UseUniversalTime() {
    _putenv("TZ=UTC0");
    _tzset();
}

// ---- Golden scenarios --------------------------------------------------------------------

std::string TestDataPath(const std::string& relative) {
    const char* configured = std::getenv("NORVEX_TEST_DATA");
    std::string base = configured != nullptr && configured[0] != 0 ? configured : NORVEX_TEST_DATA;
    return base + "/" + relative;
}

std::vector<std::string> ListScenarios(const std::string& area) {
    std::vector<std::string> scenarios;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(TestDataPath(area), error)) {
        // A scenario that aborts from the progress window needs the native runner's window,
        // which asks for the abort at a given step; the native suite runs it.
        if (entry.is_directory() && !fs::exists(entry.path() / "abort.txt")) {
            scenarios.push_back(entry.path().filename().string());
        }
    }
    std::sort(scenarios.begin(), scenarios.end());
    return scenarios;
}

std::string ScenarioText(const std::string& area, const std::string& scenario,
                         const std::string& name) {
    std::string text = ReadFileBytes(TestDataPath(area + "/" + scenario + "/" + name));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

std::string TestNameOf(const std::string& scenario) {
    std::string name = scenario;
    for (char& letter : name) {
        if (!std::isalnum(static_cast<unsigned char>(letter))) letter = '_';
    }
    return name;
}
