// tests/runtime/runtime_test_support.h
//
// What the runtime's tests share: an open outline that closes itself, texts out of runtime
// strings, the last open error in UTF-8, and outlines opened and saved through real files.
#pragma once

#include <string>

#include "runtime/brimrt63.h"
#include "tests/helpers/test_support.h"

// Closes the outline on every way out of a test.
class OpenedOutline {
public:
    explicit OpenedOutline(OutlineHandle opened = 0) : handle(opened) {}
    ~OpenedOutline() {
        if (handle != 0) CloseOutline(handle);
    }
    OpenedOutline(const OpenedOutline&) = delete;
    OpenedOutline& operator=(const OpenedOutline&) = delete;
    operator OutlineHandle() const { return handle; }
    OutlineHandle handle;
};

// Writes bytes to name in folder and opens it (0 when the runtime refuses it).
OutlineHandle OpenBytes(const ScratchFolder& folder, const std::string& name,
                        const std::string& bytes);
// Saves the outline to name in folder and answers the bytes written; "(save failed)" when the
// save answers 0.
std::string SaveBytes(const ScratchFolder& folder, const std::string& name, OutlineHandle outline);
// The last open error in UTF-8.
std::string LastOpenError();
// The characters of the string, the string then freed; "(none)" for handle 0.
std::u16string TakeString(StringHandle string);
