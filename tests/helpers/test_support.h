// tests/helpers/test_support.h
//
// Shared test code: wide texts from UTF-8 literals, a recorder for message boxes, scratch
// folders that clean up after themselves, and whole-file reads and writes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/host_hooks.h"
#include "platform/platform.h"

// UTF-16 from UTF-8 and back, for writing expectations as plain literals.
std::u16string Wide(const std::string& text);
std::string Narrow(const std::u16string& text);
// WCHAR is wchar_t on Windows and char16_t elsewhere: 16-bit code units either way.
inline std::string Narrow(const WCHAR* text) {
    return text == nullptr ? std::string("(none)")
                           : Narrow(std::u16string(reinterpret_cast<const char16_t*>(text)));
}

// Records every message box shown while it lives (title and text apart) and answers IDOK.
class MessageBoxRecorder {
public:
    struct Box {
        std::string title;
        std::string text;
        UINT type;
        bool hadOwner;
    };
    MessageBoxRecorder();
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    const std::vector<Box>& Boxes() const;
    // Every box so far, one "title | text" a line without a final line end; a box that is
    // not a plain OK box without owner says so.
    std::string Lines() const;
    void Clear();

private:
    MessageBoxHandler previous_;
};

// A new empty folder under the system's temporary folder, removed with everything in it.
// (WorkingDirectory makes it the working directory, for tests that name files relatively.)
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& Path() const { return path_; }
    // path of name inside the folder, in UTF-8 and as a wide text.
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    std::u16string WideFile(const std::string& name) const { return Wide(File(name)); }

private:
    std::string path_;
};

// The names in folder, sorted: what a test compares to see that nothing was left beside an
// output.
std::vector<std::string> FolderEntries(const std::string& folder);

// UTF-16LE bytes, as compare files hold them, from code units and back.
std::string Utf16Bytes(const std::u16string& text);
std::u16string Utf16Text(const std::string& bytes);
// The lines of UTF-16LE bytes in UTF-8, split at LF; the CR of a CR LF is dropped, any other
// CR shows as "\r". The text after the last LF is the last line.
std::vector<std::string> Utf16Lines(const std::string& bytes);

std::string ReadFileBytes(const std::string& path);  // empty when the file cannot be read
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

// Changes the working directory for the life of the object, then goes back.
class WorkingDirectory {
public:
    explicit WorkingDirectory(const std::string& path);
    ~WorkingDirectory();
    WorkingDirectory(const WorkingDirectory&) = delete;
    WorkingDirectory& operator=(const WorkingDirectory&) = delete;

private:
    std::string previous_;
};

// The current working directory (UTF-8).
std::string CurrentDirectory();

// Sets the time zone of the process (for example "UTC") for the life of the object.
class FixedTimeZone {
public:
    explicit FixedTimeZone(const char* zone);
    ~FixedTimeZone();

private:
    std::string previous_;
    bool hadPrevious_;
};

// Empty when the two texts are equal, else the line number and both versions of the first
// line that differs.
std::string FirstDifference(const std::string& expected, const std::string& actual);

// The bytes that a text spelled with \\ \n \r \t and \xHH stands for (an outline literal's
// inside, a case line of a data file); any other escaped character stands for itself.
std::string Unescape(const std::string& spelled);

// The path of a file checked in under tests/data.
std::string TestDataPath(const std::string& relative);

// ---- Golden scenarios -------------------------------------------------------------------

// The scenario folders under tests/data/<area>, sorted by name.
std::vector<std::string> ListScenarios(const std::string& area);
// A file of a scenario as text, without a final line end; empty when it is missing.
std::string ScenarioText(const std::string& area, const std::string& scenario,
                         const std::string& name);
// A scenario's name as a test name: letters and digits, anything else as '_'.
std::string TestNameOf(const std::string& scenario);
// Compares actual with the scenario's golden file. A missing golden is written from actual
// and the check fails, so that a person reviews it before it counts. Answers an empty text
// when equal, else what differs (for UTF-16 files, the first differing line).
std::string CompareWithGolden(const std::string& area, const std::string& scenario,
                              const std::string& name, const std::string& actual,
                              bool utf16 = false);
