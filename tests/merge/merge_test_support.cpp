// tests/merge/merge_test_support.cpp: running merges through files and reading their results.
#include "tests/merge/merge_test_support.h"

#include <cstdio>
#include <cstdlib>
#include <set>

namespace {

// The numbers that follow marker in the lines' texts.
std::set<int> NumbersAfter(const std::vector<OutlineLine>& lines, const std::string& marker) {
    std::set<int> numbers;
    for (const OutlineLine& line : lines) {
        size_t at = line.text.find(marker);
        if (at == std::string::npos) continue;
        size_t digits = at + marker.size();
        if (digits < line.text.size() && isdigit(static_cast<unsigned char>(line.text[digits]))) {
            numbers.insert(atoi(line.text.c_str() + digits));
        }
    }
    return numbers;
}

}  // namespace

std::vector<OutlineLine> ItemLines(const std::string& outlineBytes) {
    std::vector<OutlineLine> lines;
    size_t start = outlineBytes.find('\n');  // past the header
    while (start != std::string::npos && start + 1 < outlineBytes.size()) {
        size_t end = outlineBytes.find('\n', start + 1);
        std::string line = outlineBytes.substr(
            start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
        start = end;
        size_t indent = line.find_first_not_of(' ');
        if (indent == std::string::npos) continue;
        char first = line[indent];
        if (first == '@' || first == '%' || first == '$') continue;
        size_t quote = line.find('"');
        if (quote == std::string::npos || line.size() < quote + 2) continue;
        lines.push_back({static_cast<int>(indent / 2), atoi(line.c_str() + indent),
                         Unescape(line.substr(quote + 1, line.size() - quote - 2))});
    }
    return lines;
}

MergeRun MergeInFolder(const ScratchFolder& folder, const std::string& base,
                       const std::string& version1, const std::string& version2, uint32_t options) {
    WriteFileBytes(folder.File("base.outline"), base);
    WriteFileBytes(folder.File("version1.outline"), version1);
    WriteFileBytes(folder.File("version2.outline"), version2);
    std::remove(folder.File("merged.outline").c_str());
    WorkingDirectory inFolder(folder.Path());
    MergeRun run;
    run.status = DIF_Merge(u"base.outline", u"version1.outline", u"version2.outline",
                           u"merged.outline", nullptr, 0, options, &run.conflicts, &run.warnings);
    run.merged = ReadFileBytes(folder.File("merged.outline"));
    return run;
}

std::string CheckCommentNumbers(const std::string& merged, int conflicts, int warnings) {
    std::vector<OutlineLine> lines = ItemLines(merged);
    auto check = [](const std::set<int>& numbers, int count, const char* what) -> std::string {
        std::set<int> expected;
        for (int k = 1; k <= count; ++k) expected.insert(k);
        if (numbers == expected) return "";
        std::string shown;
        for (int number : numbers) shown += " " + std::to_string(number);
        return std::string(what) + ": counted " + std::to_string(count) + ", numbered" +
               (shown.empty() ? " none" : shown);
    };
    std::string problem =
        check(NumbersAfter(lines, " ! #### DIFF: Conflict "), conflicts, "conflicts");
    return problem.empty() ? check(NumbersAfter(lines, "#### DIFF: Warning "), warnings, "warnings")
                           : problem;
}
