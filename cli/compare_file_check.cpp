// cli/compare_file_check.cpp: reads a compare file through before the library is given it.
#include "cli/compare_file_check.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "cli/terminal_text.h"

namespace {

// A compare file's physical lines, split at LF as the library's reader splits them. Only the
// characters the checks read are kept exactly: every code unit outside ASCII becomes '?'.
class CompareFileLines {
public:
    explicit CompareFileLines(FILE* file) : file_(file) {}

    // The next line without its LF (a CR before it stays); false at the end of the file.
    // endedWithLineFeed tells whether the line was ended or cut off by the end of the file.
    bool Next(std::string& line, bool& endedWithLineFeed) {
        line.clear();
        units_.clear();
        bool any = false;
        for (;;) {
            if (position_ + 1 >= filled_ && !Refill()) {
                endedWithLineFeed = false;
                return any;
            }
            any = true;
            unsigned unit = buffer_[position_] | (buffer_[position_ + 1] << 8);
            position_ += 2;
            if (unit == '\n') {
                endedWithLineFeed = true;
                ++lineNumber_;
                return true;
            }
            line.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
            units_.push_back(static_cast<WCHAR>(unit));
        }
    }
    // The number of the line Next answered last, from 1.
    uint64_t LineNumber() const { return lineNumber_ + 1; }
    // The line Next answered last, every character as it is (a CR before the LF included).
    const WideText& Units() const { return units_; }
    // True when the file holds an odd byte at its end, which no UTF-16 file does.
    bool OddLength() const { return oddByte_; }

private:
    bool Refill() {
        size_t kept = filled_ - position_;  // an odd byte left from the last block
        if (kept > 0) buffer_[0] = buffer_[position_];
        filled_ = kept + std::fread(buffer_ + kept, 1, sizeof buffer_ - kept, file_);
        position_ = 0;
        if (filled_ == 1 && std::feof(file_)) oddByte_ = true;
        return filled_ >= 2;
    }

    FILE* file_;
    unsigned char buffer_[1 << 16] = {};
    size_t filled_ = 0;
    size_t position_ = 0;
    uint64_t lineNumber_ = 0;
    bool oddByte_ = false;
    WideText units_;
};

// The last line read as UTF-8 (a file name's own bytes where the name holds them).
std::string NameLine(const CompareFileLines& lines) {
    return MessageFromWide(lines.Units().data(), lines.Units().size());
}

std::string WithoutCarriageReturn(std::string line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

// Splits off the fields of a record line: the first seven by their commas, then the text.
std::vector<std::string> RecordFields(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0;
    while (fields.size() < 7) {
        size_t comma = line.find(',', start);
        if (comma == std::string::npos) break;
        fields.push_back(line.substr(start, comma - start));
        start = comma + 1;
    }
    fields.push_back(line.substr(start));
    return fields;
}

bool IsCount(const std::string& field) {
    if (field.empty() || field.size() > 9) return false;
    for (char digit : field) {
        if (digit < '0' || digit > '9') return false;
    }
    return std::stoul(field) >= 1;
}

// A file line of the header: "name,size,time"; the time holds no comma, so the size is the
// field before the last comma.
bool ReadFileLine(const std::string& line, std::string& name, int64_t& size, bool& known,
                  std::string* time = nullptr) {
    size_t last = line.rfind(',');
    if (last == std::string::npos || last == 0) return false;
    size_t before = line.rfind(',', last - 1);
    if (before == std::string::npos) return false;
    std::string digits = line.substr(before + 1, last - before - 1);
    if (digits.empty() || digits.size() > 18) return false;
    for (char digit : digits) {
        if (digit < '0' || digit > '9') return false;
    }
    name = line.substr(0, before);
    size = std::stoll(digits);
    // A file that could not be read, or a comparison of items inside a host, has no time.
    known = last + 1 < line.size() && name != "cmpnt";
    if (time != nullptr) *time = line.substr(last + 1);
    return true;
}

}  // namespace

bool IsThreeDigitPath(const std::string& key) {
    if (key.size() < 3 || key.size() % 3 != 0 || key.compare(0, 3, "001") != 0) return false;
    for (size_t at = 0; at < key.size(); at += 3) {
        for (size_t k = at; k < at + 3; ++k) {
            if (key[k] < '0' || key[k] > '9') return false;
        }
        if (key.compare(at, 3, "000") == 0) return false;
    }
    return true;
}

std::string CheckCompareFile(const std::string& path, CompareFileFacts& facts) {
    facts = CompareFileFacts();
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!file) return "cannot read the compare file " + path;
    const std::string notCompareFile =
        path +
        " is not a compare file (it does not begin with a byte order mark and the kind"
        " line RDFC, RDFA or FDFM)";
    unsigned char mark[2] = {};
    if (std::fread(mark, 1, 2, file.get()) != 2 || mark[0] != 0xFF || mark[1] != 0xFE) {
        return notCompareFile;
    }
    CompareFileLines lines(file.get());
    std::string line;
    bool ended = false;
    if (!lines.Next(line, ended) || !ended) return notCompareFile;
    facts.kind = WithoutCarriageReturn(line);
    if (facts.kind != "RDFC" && facts.kind != "RDFA" && facts.kind != "FDFM") {
        return notCompareFile;
    }
    const std::string damaged = path + " is damaged: ";
    if (!lines.Next(line, ended) || !ended ||
        !ReadFileLine(WithoutCarriageReturn(NameLine(lines)), facts.firstName, facts.firstSize,
                      facts.firstSizeKnown, &facts.firstTime) ||
        !lines.Next(line, ended) || !ended ||
        !ReadFileLine(WithoutCarriageReturn(NameLine(lines)), facts.secondName, facts.secondSize,
                      facts.secondSizeKnown) ||
        !lines.Next(line, ended) || !ended || WithoutCarriageReturn(line) != ",0,") {
        return damaged + "its header is not the kind line and three file lines";
    }
    while (lines.Next(line, ended)) {
        uint64_t at = lines.LineNumber();
        if (!ended) return damaged + "it ends inside line " + std::to_string(at);
        std::vector<std::string> fields = RecordFields(line);
        const std::string where = "the record at line " + std::to_string(at);
        if (fields.size() < 8 || !IsCount(fields[0]) || fields[1].size() != 1 ||
            std::string("CDAXM").find(fields[1][0]) == std::string::npos || fields[2].size() != 1 ||
            std::string("TAPDM").find(fields[2][0]) == std::string::npos) {
            return damaged + where + " is not a change record";
        }
        std::vector<std::string> keys = {fields[3], fields[4]};
        if (fields[2] == "M") {
            // A move record's text holds the two keys a viewer shows.
            std::vector<std::string> shown = RecordFields(WithoutCarriageReturn(fields[7]));
            if (shown.size() != 2) return damaged + where + " does not hold two keys in its text";
            keys.insert(keys.end(), shown.begin(), shown.end());
        }
        for (const std::string& key : keys) {
            if (!IsThreeDigitPath(key)) {
                return path + ": " + where + " has the key " + key +
                       ", which is not a path of three-digit ordinals: the comparison had a"
                       " section of 1000 or more items, whose keys cannot be taken apart, so its"
                       " records cannot be used faithfully";
            }
        }
        ++facts.records;
        unsigned long more = std::stoul(fields[0]) - 1;
        for (unsigned long k = 0; k < more; ++k) {
            if (!lines.Next(line, ended) || !ended) {
                return damaged + "it ends inside " + where;
            }
        }
    }
    if (lines.OddLength()) return damaged + "it ends in half a character";
    return std::string();
}
