// tests/windows/windows_test_support.cpp: what only the Windows tests need.
#include "tests/windows/windows_test_support.h"

namespace {

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
