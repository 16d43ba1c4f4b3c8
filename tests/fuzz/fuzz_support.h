// tests/fuzz/fuzz_support.h
//
// What every fuzz target shares: a private folder for the files the library reads and writes,
// the input cut into several texts, and warning boxes answered silently (a fuzzed file makes
// many of them, and none may block).
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/host_hooks.h"

namespace fuzz {

inline int AnswerSilently(HWND, LPCWSTR, LPCWSTR, UINT) { return IDOK; }

// The folder of this process, made once; files in it are overwritten by each input.
inline const std::string& Folder() {
    static const std::string folder = [] {
        char pattern[] = "/tmp/norvex-fuzz-XXXXXX";
        const char* made = mkdtemp(pattern);
        if (made == nullptr) std::abort();
        SetMessageBoxHandler(AnswerSilently);
        return std::string(made);
    }();
    return folder;
}

inline std::string PathOf(const char* name) { return Folder() + "/" + name; }

inline std::u16string WidePath(const char* name) {
    std::string narrow = PathOf(name);
    return std::u16string(narrow.begin(), narrow.end());  // the folder's name is ASCII
}

inline void WriteBytes(const std::string& path, const uint8_t* data, size_t size) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
    std::fclose(file);
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    WriteBytes(path, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

inline std::string ReadBytes(const std::string& path) {
    std::string bytes;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return bytes;
    char buffer[4096];
    size_t read;
    while ((read = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, read);
    std::fclose(file);
    return bytes;
}

// The input as count texts, cut at the byte 0xFF 0x00 ("\xff\0" never stands in a UTF-8
// outline), the last text taking the rest; missing texts are empty.
inline std::vector<std::string> Split(const uint8_t* data, size_t size, size_t count) {
    std::vector<std::string> parts(count);
    std::string input(reinterpret_cast<const char*>(data), size);
    size_t start = 0;
    for (size_t k = 0; k + 1 < count; ++k) {
        size_t cut = input.find(std::string("\xff\0", 2), start);
        if (cut == std::string::npos) {
            parts[k] = input.substr(start);
            start = input.size();
            continue;
        }
        parts[k] = input.substr(start, cut - start);
        start = cut + 2;
    }
    parts[count - 1] = input.substr(start < input.size() ? start : input.size());
    return parts;
}

// Stops the run with a crash that libFuzzer reports, when a promise of the system is broken.
inline void Require(bool holds) {
    if (!holds) __builtin_trap();
}

}  // namespace fuzz
