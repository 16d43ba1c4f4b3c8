// cli/host.h
//
// What norvex provides around each library call, as any host program of the library does: a
// window that receives the progress messages, a progress bar drawn from them on standard error,
// and warning boxes turned into lines on standard error.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

// The message number that the library sends progress with.
constexpr UINT kProgressMessage = 0x8001;

// One library call's surroundings. While it lives, warning boxes print as "norvex: warning:
// TEXT" lines, and progress messages to Window() redraw a one-line bar on standard error when
// that is a terminal and the bar is not silenced, at most ten times a second. The bar is
// cleared when the session ends, before anything else is printed.
class HostSession {
public:
    explicit HostSession(bool showProgress);
    ~HostSession();
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    HWND Window() const { return window_; }
    // How many warning boxes the library showed during the session.
    int Warnings() const;
    // Clears the bar now (before the command prints its results).
    void Finish();

private:
    HWND window_ = nullptr;
#ifdef _WIN32
    HMODULE stringModule_ = nullptr;
#endif
};

// True when the file descriptor is a terminal.
bool IsTerminal(int descriptor);
// An absolute form of path (the library opens each outline from its own folder, so relative
// paths would be read against a folder that changes during the call).
std::string AbsolutePath(const std::string& path);

// A new folder of the command's own, removed with what it holds at the end of its scope and
// when the command is interrupted. It is made under the system's temporary folder, or, when
// that is missing or closed to us (TMPDIR naming nothing, say), in fallbackFolder, then in the
// current folder. Path() is empty when none could be made.
class PrivateFolder {
public:
    PrivateFolder(const char* prefix, const std::string& fallbackFolder);
    ~PrivateFolder();
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;
    const std::string& Path() const { return path_; }
    // The path of a file called name in the folder, which an interrupt then removes too.
    std::string File(const std::string& name);

private:
    std::string path_;
    std::vector<int> pendingSlots_;
};

// Copies all of standard input into a new file at path; false when it cannot.
bool CopyStandardInput(const std::string& path);

// From here on, an interrupt (SIGINT, SIGTERM, SIGHUP) removes the temporary files and folders
// of the command and of the library before the command ends as the signal ends it.
void RemoveTemporariesOnInterrupt();

#ifdef _WIN32
// Makes a new folder from pattern, whose last six characters are XXXXXX, as on POSIX systems.
char* mkdtemp(char* pattern);
#endif
