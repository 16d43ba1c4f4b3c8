// tests/windows/windows_test_support.h
//
// Shared code of the tests that run as Windows programs: the library loaded as a host loads
// it (LoadLibraryW, then GetProcAddress for each export), a recorder of its message boxes,
// scratch folders, whole-file reads and writes, and the golden scenarios under tests/data.
#pragma once

#include <string>
#include <vector>

#include "include/norvex63.h"
#include "platform/host_hooks.h"

// UTF-16 from UTF-8 and back.
std::wstring WideFromUtf8(const std::string& text);
std::string Utf8FromWide(const wchar_t* text);  // "(none)" for a null text

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
    decltype(&DIF_BuildAbort) BuildAbort = nullptr;
    decltype(&DIF_BuildGetSection) BuildGetSection = nullptr;
    decltype(&DIF_Merge) Merge = nullptr;
    decltype(&DIF_CompareLoad) CompareLoad = nullptr;
    decltype(&DIF_CompareCount) CompareCount = nullptr;
    decltype(&DIF_CompareUnload) CompareUnload = nullptr;
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

// Records the boxes that the library shows while it lives, as "title | text" lines, and
// answers IDOK. Norvex63.dll must be loaded before the recorder is made.
class BoxRecorder {
public:
    BoxRecorder();
    ~BoxRecorder();
    BoxRecorder(const BoxRecorder&) = delete;
    BoxRecorder& operator=(const BoxRecorder&) = delete;

    // Every box so far, one "title | text" a line, without a final line end.
    std::string Lines() const;
    void Clear();
};

// A new empty folder under the temporary folder, removed with everything in it; while it
// lives, it is also the working directory.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string File(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
    std::wstring previous_;
};

std::string ReadFileBytes(const std::string& path);  // empty when the file cannot be read
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
// Copies a file and gives the copy a fixed modification time (14 Nov 2023 22:13:20 UTC), so
// that the compare file's header never varies.
void CopyWithFixedTime(const std::string& source, const std::string& target);
// Makes the C runtime's local time UTC for the whole process (the library shares it).
void UseUniversalTime();

// The folder tests/data: NORVEX_TEST_DATA from the environment, else the one of the build.
std::string TestDataPath(const std::string& relative);
std::vector<std::string> ListScenarios(const std::string& area);
// A file of a scenario as text, without a final line end; empty when it is missing.
std::string ScenarioText(const std::string& area, const std::string& scenario,
                         const std::string& name);
// A scenario's name as a test name: letters and digits, anything else as '_'.
std::string TestNameOf(const std::string& scenario);
