// tests/platform/platform_test_support.h
//
// Small helpers shared by the platform tests: wide texts as std::u16string, and a scratch
// folder of real files that is removed again after each test.
#pragma once

#include <string>

#include "platform/platform.h"

// A fresh folder under the system's temporary folder, removed with all it holds at the end.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string PathOf(const std::string& name) const { return path_ + "/" + name; }
    std::u16string WidePathOf(const std::string& name) const;

private:
    std::string path_;
};

// ASCII text as UTF-16 code units (non-ASCII tests spell their texts as u"" literals).
std::u16string Widen(const std::string& text);

// The whole content of a file as bytes, or the bytes written to it.
std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
