// tests/windows/windows_test_support.h
//
// What only the tests that run as Windows programs need: the library loaded as a host loads
// it (LoadLibraryW, then GetProcAddress for each export), its string module, copies with a
// fixed file time, and the golden scenarios a Windows host can run. Scratch folders, files,
// texts and message boxes are the shared ones of tests/helpers.
#pragma once

#include <string>
#include <vector>

#include "include/norvex63.h"
#include "tests/helpers/test_support.h"

// UTF-16 from UTF-8, as the Windows calls take it.
inline std::wstring WideFromUtf8(const std::string& text) {
    std::u16string wide = Wide(text);
    return std::wstring(wide.begin(), wide.end());
}

// Norvex63.dll loaded for the life of the object, with every export looked up by name; a
// fresh load starts with fresh process-wide state once the last handle has gone.
class LibraryModule {
public:
    LibraryModule();
    ~LibraryModule();
    LibraryModule(const LibraryModule&) = delete;
    LibraryModule& operator=(const LibraryModule&) = delete;

    bool Loaded() const { return module_ != nullptr; }
    HMODULE Handle() const { return module_; }
    // Null when the module is not loaded or has no export of that name.
    FARPROC Find(const char* name) const;

    decltype(&DIF_Build) Build = nullptr;
    decltype(&DIF_BuildGetSection) BuildGetSection = nullptr;
    decltype(&DIF_Merge) Merge = nullptr;
    decltype(&DLLEntryPoint) EntryPoint = nullptr;

private:
    HMODULE module_ = nullptr;
};

// Norvex51.dll, the module of the library's strings, loaded for the life of the object.
class StringModule {
public:
    StringModule() : module_(LoadStringModule()) {}
    ~StringModule() { UnloadStringModule(module_); }
    StringModule(const StringModule&) = delete;
    StringModule& operator=(const StringModule&) = delete;

    HMODULE Handle() const { return module_; }

private:
    HMODULE module_;
};

// Copies a file, when there is one, and gives the copy a fixed modification time (14 Nov 2023
// 22:13:20 UTC), so that the compare file's header never varies.
void CopyWithFixedTime(const std::string& source, const std::string& target);

// One progress message as the window procedure of the build tests received it, its text
// read back through the library from inside the procedure.
struct Progress {
    UINT message;
    WPARAM percent;
    LPARAM lParam;
    bool onBuildThread;
    std::string text;
};

// The message those builds send, and their procedure, which records each one.
constexpr UINT kProgressMessage = 0x8123;
LRESULT CALLBACK RecordProgress(HWND window, UINT message, WPARAM percent, LPARAM lParam);

// Builds a build scenario's two outlines in scratch, named relatively, with progress sent to
// window (made with RecordProgress); the messages it received are then Received().
uint16_t BuildScenario(const LibraryModule& library, HWND window, const std::string& scenario,
                       const ScratchFolder& scratch, uint32_t options = 0);
const std::vector<Progress>& Received();
// The received messages, one "percent text" a line.
std::string ReceivedTexts();

// The build and merge scenario folders, as "area/name", but those that abort from the
// progress window (they need the native runner's window, which asks for the abort at a given
// step) and those that call on open outlines.
std::vector<std::string> HostScenarios();
