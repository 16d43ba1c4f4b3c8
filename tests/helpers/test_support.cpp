// tests/helpers/test_support.cpp: shared test code.
#include "tests/helpers/test_support.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace {

std::vector<MessageBoxRecorder::Box>& RecordedBoxes() {
    static std::vector<MessageBoxRecorder::Box> boxes;
    return boxes;
}

int RecordBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    RecordedBoxes().push_back({Narrow(caption), Narrow(text), type, owner != nullptr});
    return IDOK;
}

}  // namespace

std::u16string Wide(const std::string& text) {
    std::u16string wide;
    for (size_t k = 0; k < text.size();) {
        unsigned char lead = static_cast<unsigned char>(text[k]);
        uint32_t code = lead;
        size_t extra = 0;
        if (lead >= 0xF0) {
            code = lead & 0x07;
            extra = 3;
        } else if (lead >= 0xE0) {
            code = lead & 0x0F;
            extra = 2;
        } else if (lead >= 0xC0) {
            code = lead & 0x1F;
            extra = 1;
        }
        for (size_t e = 1; e <= extra && k + e < text.size(); ++e) {
            code = (code << 6) | (static_cast<unsigned char>(text[k + e]) & 0x3F);
        }
        k += extra + 1;
        if (code >= 0x10000) {
            code -= 0x10000;
            wide.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            wide.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
        } else {
            wide.push_back(static_cast<char16_t>(code));
        }
    }
    return wide;
}

std::string Narrow(const std::u16string& text) {
    std::string narrow;
    for (size_t k = 0; k < text.size(); ++k) {
        uint32_t code = text[k];
        if (code >= 0xD800 && code < 0xDC00 && k + 1 < text.size() && text[k + 1] >= 0xDC00 &&
            text[k + 1] < 0xE000) {
            code = 0x10000 + ((code - 0xD800) << 10) + (text[k + 1] - 0xDC00);
            ++k;
        }
        if (code < 0x80) {
            narrow.push_back(static_cast<char>(code));
        } else if (code < 0x800) {
            narrow.push_back(static_cast<char>(0xC0 | (code >> 6)));
            narrow.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else if (code < 0x10000) {
            narrow.push_back(static_cast<char>(0xE0 | (code >> 12)));
            narrow.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            narrow.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else {
            narrow.push_back(static_cast<char>(0xF0 | (code >> 18)));
            narrow.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
            narrow.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            narrow.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        }
    }
    return narrow;
}

MessageBoxRecorder::MessageBoxRecorder() : previous_(SetMessageBoxHandler(RecordBox)) {
    RecordedBoxes().clear();
}

MessageBoxRecorder::~MessageBoxRecorder() {
    SetMessageBoxHandler(previous_);
    RecordedBoxes().clear();
}

const std::vector<MessageBoxRecorder::Box>& MessageBoxRecorder::Boxes() const {
    return RecordedBoxes();
}

std::string MessageBoxRecorder::Lines() const {
    std::string lines;
    for (const Box& box : RecordedBoxes()) {
        lines += (lines.empty() ? "" : "\n") + box.title + " | " + box.text;
        if (box.type != MB_OK || box.hadOwner) lines += " (not a plain OK box)";
    }
    return lines;
}

void MessageBoxRecorder::Clear() { RecordedBoxes().clear(); }

ScratchFolder::ScratchFolder() {
    // Six random letters or digits, as mkdtemp gives (paths written into outputs keep their
    // length); making a folder that exists fails, and the next name is tried.
    static std::mt19937_64 random{std::random_device{}()};
    const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (;;) {
        std::string name = "norvex-test-";
        for (int k = 0; k < 6; ++k) name += kLetters[random() % 36];
        path_ = (base / name).string();
        std::error_code error;
        if (std::filesystem::create_directory(path_, error)) break;
        if (error) throw std::runtime_error("cannot make " + path_ + ": " + error.message());
    }
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    // Folders a test made read-only must become writable again to be removed.
    for (auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored)) {
        std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
    }
    std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string Utf16Bytes(const std::u16string& text) {
    std::string bytes;
    for (char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

std::u16string Utf16Text(const std::string& bytes) {
    std::u16string text;
    for (size_t k = 0; k + 1 < bytes.size(); k += 2) {
        text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[k]) |
                                             (static_cast<unsigned char>(bytes[k + 1]) << 8)));
    }
    return text;
}

std::vector<std::string> Utf16Lines(const std::string& bytes) {
    std::u16string text = Utf16Text(bytes);
    std::vector<std::string> lines(1);
    for (size_t k = 0; k < text.size(); ++k) {
        if (text[k] == u'\n') {
            lines.emplace_back();
        } else if (text[k] == u'\r' && k + 1 < text.size() && text[k + 1] == u'\n') {
            continue;
        } else if (text[k] == u'\r') {
            lines.back() += "\\r";
        } else {
            lines.back() += Narrow(text.substr(k, 1));
        }
    }
    return lines;
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!file) throw std::runtime_error("cannot write " + path);
}

bool FileExists(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::exists(path, ignored);
}

WorkingDirectory::WorkingDirectory(const std::string& path) : previous_(CurrentDirectory()) {
    std::filesystem::current_path(path);
}

WorkingDirectory::~WorkingDirectory() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
}

std::string CurrentDirectory() { return std::filesystem::current_path().string(); }

namespace {

// Sets TZ, or removes it when zone is null, and has the C library read it again.
void SetTimeZone(const char* zone) {
#ifdef _WIN32
    _putenv_s("TZ", zone != nullptr ? zone : "");
    _tzset();
#else
    if (zone != nullptr) {
        setenv("TZ", zone, 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
#endif
}

}  // namespace

FixedTimeZone::FixedTimeZone(const char* zone) {
    const char* previous = std::getenv("TZ");
    hadPrevious_ = previous != nullptr;
    if (hadPrevious_) previous_ = previous;
    SetTimeZone(zone);
}

FixedTimeZone::~FixedTimeZone() { SetTimeZone(hadPrevious_ ? previous_.c_str() : nullptr); }

std::string Unescape(const std::string& spelled) {
    std::string bytes;
    for (size_t k = 0; k < spelled.size(); ++k) {
        if (spelled[k] != '\\' || k + 1 == spelled.size()) {
            bytes += spelled[k];
            continue;
        }
        char letter = spelled[++k];
        if (letter == 'x') {
            bytes += static_cast<char>(std::stoi(spelled.substr(k + 1, 2), nullptr, 16));
            k += 2;
        } else {
            bytes += letter == 'n' ? '\n' : letter == 'r' ? '\r' : letter == 't' ? '\t' : letter;
        }
    }
    return bytes;
}

std::string TestDataPath(const std::string& relative) {
    return std::string(NORVEX_TEST_DATA) + "/" + relative;
}

std::vector<std::string> ListScenarios(const std::string& area) {
    std::vector<std::string> names;
    std::error_code ignored;
    for (auto& entry : std::filesystem::directory_iterator(TestDataPath(area), ignored)) {
        if (entry.is_directory()) names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string ScenarioText(const std::string& area, const std::string& scenario,
                         const std::string& name) {
    std::string text = ReadFileBytes(TestDataPath(area + "/" + scenario + "/" + name));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

std::string TestNameOf(const std::string& scenario) {
    std::string name = scenario;
    for (char& letter : name) {
        if (!std::isalnum(static_cast<unsigned char>(letter))) letter = '_';
    }
    return name;
}

std::string CompareWithGolden(const std::string& area, const std::string& scenario,
                              const std::string& name, const std::string& actual, bool utf16) {
    std::string path = TestDataPath(area + "/" + scenario + "/" + name);
    if (!FileExists(path)) {
        WriteFileBytes(path, actual);
        return "no golden " + path + ": written from this run, review it";
    }
    std::string expected = ReadFileBytes(path);
    if (expected == actual) return "";
    if (!utf16)
        return "differs from " + path + ":\n--- expected\n" + expected + "\n--- actual\n" + actual;
    std::vector<std::string> expectedLines = Utf16Lines(expected), actualLines = Utf16Lines(actual);
    for (size_t k = 0; k < std::max(expectedLines.size(), actualLines.size()); ++k) {
        std::string want = k < expectedLines.size() ? expectedLines[k] : "(end of file)";
        std::string got = k < actualLines.size() ? actualLines[k] : "(end of file)";
        if (want != got) {
            return "differs from " + path + " at line " + std::to_string(k + 1) +
                   ":\n  expected: " + want + "\n  actual:   " + got;
        }
    }
    return "differs from " + path + " in its line ends or in bytes that are not whole code units";
}

std::string FirstDifference(const std::string& expected, const std::string& actual) {
    if (expected == actual) return "";
    std::istringstream expectedLines(expected), actualLines(actual);
    std::string expectedLine, actualLine;
    for (int line = 1;; ++line) {
        bool moreExpected = static_cast<bool>(std::getline(expectedLines, expectedLine));
        bool moreActual = static_cast<bool>(std::getline(actualLines, actualLine));
        if (!moreExpected && !moreActual) return "texts differ only in their last line end";
        if (!moreExpected || !moreActual || expectedLine != actualLine) {
            return "line " + std::to_string(line) + ": expected [" +
                   (moreExpected ? expectedLine : "(end)") + "], got [" +
                   (moreActual ? actualLine : "(end)") + "]";
        }
    }
}
