// platform/crt_directories.cpp
//
// Drives, the current directory, path splitting and the heap check of the C runtime. A
// system without drive letters is always on drive 0.
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>

#include "platform/host_hooks.h"
#include "platform/utf_conversion.h"

int _getdrive(void) { return 0; }

int _chdrive(int drive) { return 0; }

WCHAR* _wgetcwd(WCHAR* buffer, int maxLength) {
    if (buffer != nullptr && maxLength <= 0) {
        errno = EINVAL;
        return nullptr;
    }
    char* systemPath = getcwd(nullptr, 0);  // the system sizes it
    if (systemPath == nullptr) return nullptr;
    WCHAR probe[1];
    size_t needed = ConvertUtf8ToWide(systemPath, probe, 1) + 1;
    WCHAR* result = buffer;
    if (buffer == nullptr) {
        // As the runtime does: maxLength characters, or more only if the path needs them.
        size_t size = maxLength > 0 && static_cast<size_t>(maxLength) > needed
                          ? static_cast<size_t>(maxLength)
                          : needed;
        result = static_cast<WCHAR*>(std::malloc(size * sizeof(WCHAR)));
        if (result == nullptr) {
            std::free(systemPath);
            errno = ENOMEM;
            return nullptr;
        }
    } else if (needed > static_cast<size_t>(maxLength)) {
        std::free(systemPath);
        errno = ERANGE;
        return nullptr;
    }
    ConvertUtf8ToWide(systemPath, result, needed);
    std::free(systemPath);
    return result;
}

int _wchdir(const WCHAR* path) {
    Utf8Text systemPath;
    int error = systemPath.Assign(path);
    if (error != 0) {
        errno = error;
        return -1;
    }
    return chdir(systemPath.Get()) == 0 ? 0 : -1;
}

namespace {

bool IsSeparator(WCHAR character) { return character == u'/' || character == u'\\'; }

// One output of _wsplitpath_s: where it goes and the part of the path it receives.
struct PathPart {
    WCHAR* target;
    size_t count;
    const WCHAR* begin;
    const WCHAR* end;
};

void EmptyParts(PathPart* parts, int partCount) {
    for (int k = 0; k < partCount; ++k) {
        if (parts[k].target != nullptr && parts[k].count > 0) parts[k].target[0] = 0;
    }
}

}  // namespace

errno_t _wsplitpath_s(const WCHAR* path, WCHAR* drive, size_t driveCount, WCHAR* dir,
                      size_t dirCount, WCHAR* name, size_t nameCount, WCHAR* ext, size_t extCount) {
    PathPart parts[4] = {{drive, driveCount, nullptr, nullptr},
                         {dir, dirCount, nullptr, nullptr},
                         {name, nameCount, nullptr, nullptr},
                         {ext, extCount, nullptr, nullptr}};
    // 1. A null path, or an output whose pointer and count disagree, is refused.
    bool outputsValid = true;
    for (const PathPart& part : parts) {
        if ((part.target == nullptr) != (part.count == 0)) outputsValid = false;
    }
    if (path == nullptr || !outputsValid) {
        EmptyParts(parts, 4);
        return errno = EINVAL;
    }
    // 2. The drive is the first two characters when the second is ':'.
    const WCHAR* rest = path;
    if (path[0] != 0 && path[1] == u':') rest = path + 2;
    parts[0].begin = path;
    parts[0].end = rest;
    // 3. The folder runs through the last separator; the name and extension follow it, split
    //    at the last '.' of that last component.
    const WCHAR* lastSeparator = nullptr;
    const WCHAR* lastDot = nullptr;
    const WCHAR* end = rest;
    for (; *end != 0; ++end) {
        if (IsSeparator(*end)) {
            lastSeparator = end;
            lastDot = nullptr;
        } else if (*end == u'.') {
            lastDot = end;
        }
    }
    const WCHAR* nameBegin = lastSeparator != nullptr ? lastSeparator + 1 : rest;
    const WCHAR* extBegin = lastDot != nullptr ? lastDot : end;
    parts[1] = {dir, dirCount, rest, nameBegin};
    parts[2] = {name, nameCount, nameBegin, extBegin};
    parts[3] = {ext, extCount, extBegin, end};
    // 4. Every wanted part must fit with its terminator before any is written.
    for (const PathPart& part : parts) {
        if (part.target != nullptr && static_cast<size_t>(part.end - part.begin) >= part.count) {
            EmptyParts(parts, 4);
            return errno = ERANGE;
        }
    }
    for (const PathPart& part : parts) {
        if (part.target == nullptr) continue;
        size_t length = static_cast<size_t>(part.end - part.begin);
        for (size_t k = 0; k < length; ++k) part.target[k] = part.begin[k];
        part.target[length] = 0;
    }
    return 0;
}

namespace {

std::atomic<int> g_heapCheckAnswer{_HEAPOK};

}  // namespace

int _heapchk(void) { return g_heapCheckAnswer.load(); }

void ForceHeapCheckAnswer(int answer) { g_heapCheckAnswer.store(answer); }
