// tests/comparefile/compare_file_fixture.h
//
// Shared by the compare file tests: compare file bytes from wide texts, a list loaded from a
// real file, and a whole record spelled out for goldens and failure messages.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "comparefile/compare_list.h"
#include "comparefile/record_reader.h"
#include "tests/helpers/test_support.h"

// Byte order mark, one marker line and three file lines, as a build with one kind bit writes.
inline std::u16string PlainHeader() {
    return u"\uFEFFRDFA\r\nfirst,3,Tue Nov 14 2023 22:13:20\r\nsecond,0,\r\n,0,\r\n";
}

// Writes text as a compare file at path.
inline void WriteCompareText(const std::string& path, const std::u16string& text) {
    WriteFileBytes(path, Utf16Bytes(text));
}

// Clears list, reads the file at path with modeWord (1 a viewer, 2 the apply) and answers the
// count that ReadCompareRecords answered; the file is closed again.
inline RecordNumber LoadCompareFile(CompareList& list, const std::string& path, uint32_t modeWord) {
    list.ClearCompareList();
    if (!list.OpenCompareFile(Wide(path).c_str(), u"rb", modeWord)) return 0;
    RecordNumber count = ReadCompareRecords(list);
    list.CloseCompareFile();
    return count;
}

// A wide text made printable: CR, LF and anything outside ASCII as escapes; none as (none).
inline std::string Printable(const WCHAR* text) {
    if (text == nullptr) return "(none)";
    std::string out = "\"";
    for (; *text != 0; ++text) {
        if (*text == u'\r')
            out += "\\r";
        else if (*text == u'\n')
            out += "\\n";
        else if (*text >= 0x20 && *text < 0x7F)
            out.push_back(static_cast<char>(*text));
        else
            out += "\\u" + std::to_string(static_cast<unsigned>(*text));
    }
    return out + "\"";
}

// Record n of list as one line: letters, keys, values, text.
inline std::string DescribeRecord(const CompareList& list, uint16_t n) {
    const char16_t letters[] = {list.ChangeLetter(n), list.SubjectLetter(n), 0};
    return Printable(letters) + " " + Printable(list.FirstKey(n)) + " " +
           Printable(list.SecondKey(n)) + " " + std::to_string(list.FirstValue(n)) + " " +
           std::to_string(list.SecondValue(n)) + " " + Printable(list.Text(n));
}
