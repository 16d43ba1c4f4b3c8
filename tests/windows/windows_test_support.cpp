// tests/windows/windows_test_support.cpp: what only the Windows tests need.
#include "tests/windows/windows_test_support.h"

namespace {

// What the procedure needs while a build runs: the library to read the text back.
const LibraryModule* g_library = nullptr;
DWORD g_buildThread = 0;
std::vector<Progress> g_received;

template <typename Function>
void LookUp(const LibraryModule& library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(library.Find(name)));
}

}  // namespace

LibraryModule::LibraryModule() : module_(LoadLibraryW(L"Norvex63.dll")) {
    LookUp(*this, "DIF_Build", Build);
    LookUp(*this, "DIF_BuildGetSection", BuildGetSection);
    LookUp(*this, "DIF_Merge", Merge);
    LookUp(*this, "DLLEntryPoint", EntryPoint);
}

LibraryModule::~LibraryModule() {
    if (module_ != nullptr) FreeLibrary(module_);
}

FARPROC LibraryModule::Find(const char* name) const {
    return module_ != nullptr ? GetProcAddress(module_, name) : nullptr;
}

void CopyWithFixedTime(const std::string& source, const std::string& target) {
    if (!FileExists(source)) return;
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

std::vector<std::string> HostScenarios() {
    std::vector<std::string> scenarios;
    for (const char* area : {"build", "merge"}) {
        for (const std::string& scenario : ListScenarios(area)) {
            std::string path = std::string(area) + "/" + scenario;
            if (!FileExists(TestDataPath(path + "/abort.txt")) &&
                !FileExists(TestDataPath(path + "/object.txt"))) {
                scenarios.push_back(path);
            }
        }
    }
    return scenarios;
}

LRESULT CALLBACK RecordProgress(HWND, UINT message, WPARAM percent, LPARAM lParam) {
    if (message != kProgressMessage) return 0;
    wchar_t text[161] = {};
    g_library->BuildGetSection(text, 161, nullptr, nullptr);
    g_received.push_back(
        {message, percent, lParam, GetCurrentThreadId() == g_buildThread, Narrow(text)});
    return 0;
}

uint16_t BuildScenario(const LibraryModule& library, HWND window, const std::string& scenario,
                       const ScratchFolder& scratch, uint32_t options) {
    const std::string folder = TestDataPath("build/" + scenario + "/");
    WriteFileBytes(scratch.File("first.outline"), ReadFileBytes(folder + "first.outline"));
    WriteFileBytes(scratch.File("second.outline"), ReadFileBytes(folder + "second.outline"));
    WorkingDirectory inScratch(scratch.Path());
    g_library = &library;
    g_buildThread = GetCurrentThreadId();
    g_received.clear();
    return library.Build(L"first.outline", L"second.outline", L"result.cmp", window,
                         static_cast<uint16_t>(kProgressMessage), options);
}

const std::vector<Progress>& Received() { return g_received; }

std::string ReceivedTexts() {
    std::string texts;
    for (const Progress& message : g_received) {
        texts += std::to_string(message.percent) + " " + message.text + "\n";
    }
    return texts;
}
