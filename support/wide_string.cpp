// support/wide_string.cpp: the owned wide string.
#include "support/wide_string.h"

#include <memory>

#include "resources/string_table.h"

namespace {

uint32_t TextLength(const WCHAR* text) {
    uint32_t length = 0;
    while (text[length] != 0) ++length;
    return length;
}

void CopyCharacters(WCHAR* target, const WCHAR* source, uint32_t count) {
    for (uint32_t k = 0; k < count; ++k) target[k] = source[k];
}

}  // namespace

CWideString::CWideString() : text_(new WCHAR[1]), size_(1) { text_[0] = 0; }

CWideString::CWideString(const CWideString& other) : CWideString() {
    SetText(other.text_, other.Length());
}

CWideString::CWideString(const WCHAR* text) : CWideString() {
    if (text != nullptr) SetText(text, TextLength(text));
}

CWideString::CWideString(UINT resourceId) : CWideString() {
    if (resourceId != 0) FromResource(resourceId);
}

CWideString::~CWideString() { delete[] text_; }

CWideString& CWideString::operator=(const CWideString& other) {
    if (&other != this) SetText(other.text_, other.Length());
    return *this;
}

CWideString& CWideString::operator=(const WCHAR* text) {
    if (text == text_) return *this;
    if (text == nullptr) {
        SetText(WIDE(""), 0);
    } else {
        SetText(text, TextLength(text));
    }
    return *this;
}

CWideString& CWideString::operator+=(const CWideString& other) {
    // Appending a string to itself reads the old buffer, which lives until the copy is made.
    return *this += other.text_;
}

CWideString& CWideString::operator+=(const WCHAR* text) {
    if (text == nullptr) return *this;
    uint32_t added = TextLength(text);
    if (added == 0) return *this;
    WCHAR* joined = new WCHAR[size_ + added];
    CopyCharacters(joined, text_, Length());
    CopyCharacters(joined + Length(), text, added);
    joined[Length() + added] = 0;
    delete[] text_;
    text_ = joined;
    size_ += added;
    return *this;
}

bool CWideString::FromResource(UINT id) {
    std::unique_ptr<WCHAR[]> scratch(new WCHAR[kWideResourceBufferSize]);
    SetText(WIDE(""), 0);
    HMODULE module = GetModuleHandleW(NORVEX_STRING_MODULE);
    int loaded = LoadStringW(module, id, scratch.get(), kWideResourceBufferSize);
    if (loaded < 1) return false;
    SetText(scratch.get(), static_cast<uint32_t>(loaded));
    return true;
}

void CWideString::Format(const WCHAR* format, ...) {
    std::unique_ptr<WCHAR[]> scratch(new WCHAR[kFormatBufferSize]);
    va_list arguments;
    va_start(arguments, format);
    int length = vswprintf_s(scratch.get(), kFormatBufferSize, format, arguments);
    va_end(arguments);
    SetText(WIDE(""), 0);
    if (length > 0) SetText(scratch.get(), static_cast<uint32_t>(length));
}

void CWideString::SetText(const WCHAR* text, uint32_t length) {
    // The new buffer is made before the old one goes, so a refusal leaves the string as it was
    // and text may point into the old buffer.
    WCHAR* replacement = new WCHAR[length + 1];
    CopyCharacters(replacement, text, length);
    replacement[length] = 0;
    delete[] text_;
    text_ = replacement;
    size_ = length + 1;
}

CWideString operator+(const CWideString& first, const WCHAR* second) {
    CWideString joined(first);
    joined += second;
    return joined;
}

CWideString operator+(const WCHAR* first, const CWideString& second) {
    CWideString joined(first);
    joined += second;
    return joined;
}
