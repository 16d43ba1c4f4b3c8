// support/wide_string.h
//
// CWideString, the library's value type for texts that are built up, passed by value and
// formatted: progress labels, outline labels, warning and conflict texts. It owns one buffer
// sized exactly for its text; every change makes a new buffer of the new exact size.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// Room for a formatted text: at most 4,095 characters and the terminator. A longer result
// makes the bounded formatting fail, and the string stays empty.
constexpr size_t kFormatBufferSize = 4096;
// Room for a resource text read by FromResource: at most 255 characters and the terminator.
constexpr int kWideResourceBufferSize = 256;

// Buffers come from the language's own allocation: when it refuses, the out-of-memory failure
// (std::bad_alloc) propagates to the caller. Nothing in the library catches it.
class CWideString {
public:
    CWideString();
    CWideString(const CWideString& other);
    // An absent text gives the empty string.
    explicit CWideString(const WCHAR* text);
    // Id 0 gives the empty string; any other id loads that string resource (FromResource).
    explicit CWideString(UINT resourceId);
    ~CWideString();

    // Assigning a string to itself, or a string its own buffer, changes nothing.
    CWideString& operator=(const CWideString& other);
    CWideString& operator=(const WCHAR* text);

    // Appending an empty or absent text changes nothing.
    CWideString& operator+=(const CWideString& other);
    CWideString& operator+=(const WCHAR* text);

    // Loads string resource id from the module "Norvex51" (at most 255 characters). The string
    // is first made empty; answers true when at least one character was loaded.
    bool FromResource(UINT id);

    // printf-style formatting of wide texts (%s is a wide text). A result that is empty, longer
    // than 4,095 characters, or from a bad format leaves the empty string.
    void Format(const WCHAR* format, ...);

    const WCHAR* Text() const { return text_; }
    // Characters in the buffer, terminator included: length + 1.
    uint32_t Size() const { return size_; }
    uint32_t Length() const { return size_ - 1; }

private:
    // Replaces the buffer with a new one holding the first length characters of text.
    void SetText(const WCHAR* text, uint32_t length);

    WCHAR* text_;
    uint32_t size_;
};

CWideString operator+(const CWideString& first, const WCHAR* second);
CWideString operator+(const WCHAR* first, const CWideString& second);
