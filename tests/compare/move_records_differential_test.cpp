// tests/compare/move_records_differential_test.cpp
//
// A build through the rank table of its move records against the carried count of the rules'
// walk: each build runs both ways and must write the same compare file byte for byte.
// Generated pairs reorder, delete, add and edit items in sections of a few to a few thousand
// items, with skipped and repeated items between them; the golden scenarios are the real shapes.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "include/norvex63.h"
#include "support/run_state.h"
#include "tests/helpers/test_support.h"

namespace {

// The lines of one section under "Main", each with a statement below it now and then.
std::string WriteOutline(const std::vector<std::string>& lines) {
    std::string text = "OUTLINE 1\n10 \"Main\"\n";
    for (const std::string& line : lines) text += "  " + line + "\n";
    return text;
}

std::vector<std::string> GeneratedSection(std::mt19937& random, size_t count) {
    std::vector<std::string> lines;
    for (size_t k = 0; k < count; ++k) {
        unsigned roll = random() % 20;
        std::string text = "\"line " + std::to_string(count < 30 ? random() % 5 : k) + "\"";
        lines.push_back(roll == 0 ? "9 [skip] " + text : roll == 1 ? "176 " + text : "9 " + text);
        if (roll == 2) lines.push_back("  9 \"below " + std::to_string(k) + "\"");
    }
    return lines;
}

std::vector<std::string> Reordered(std::vector<std::string> lines, std::mt19937& random) {
    // Only top lines move, so that a line below stays under an item.
    auto isTop = [](const std::string& line) { return line.compare(0, 2, "  ") != 0; };
    if (random() % 3 == 0) {
        std::vector<std::string> tops;
        for (const std::string& line : lines) {
            if (isTop(line)) tops.push_back(line);
        }
        std::shuffle(tops.begin(), tops.end(), random);
        lines = tops;
    } else {
        for (int move = 1 + static_cast<int>(random() % 5); move > 0 && lines.size() > 2; --move) {
            size_t from = random() % lines.size();
            if (!isTop(lines[from])) continue;
            std::string line = lines[from];
            lines.erase(lines.begin() + static_cast<long>(from));
            size_t to = random() % (lines.size() + 1);
            while (to < lines.size() && !isTop(lines[to])) ++to;
            lines.insert(lines.begin() + static_cast<long>(to), line);
        }
    }
    for (int edit = static_cast<int>(random() % 4); edit > 0 && !lines.empty(); --edit) {
        size_t place = random() % lines.size();
        if (!isTop(lines[place])) continue;
        if (random() % 2 == 0) {
            lines.insert(lines.begin() + static_cast<long>(place), "9 \"added\"");
        } else {
            lines[place].insert(lines[place].size() - 1, " edited");
        }
    }
    return lines;
}

// The compare file of a build of first against second, made with the rules' walks or not.
std::string BuildWith(bool plain, const ScratchFolder& folder, uint32_t options) {
    UsePlainWalksForTesting(plain);
    WorkingDirectory inFolder(folder.Path());
    std::remove(folder.File("built.cmp").c_str());
    uint16_t status =
        DIF_Build(u"first.outline", u"second.outline", u"built.cmp", nullptr, 0, options);
    UsePlainWalksForTesting(false);
    return std::to_string(status) + "\n" + ReadFileBytes(folder.File("built.cmp"));
}

// "" when both builds wrote the same file, else the first line that differs.
std::string DifferenceBetween(const std::string& plain, const std::string& fast) {
    if (plain == fast) return "";
    size_t at =
        std::mismatch(plain.begin(), plain.end(), fast.begin(), fast.end()).first - plain.begin();
    size_t line = plain.rfind('\n', at);
    line = line == std::string::npos ? 0 : line + 1;
    return "differ at byte " + std::to_string(at) + " (UTF-16): rules' walk \"" +
           plain.substr(line, 80) + "\", fast \"" + fast.substr(line, 80) + "\"";
}

}  // namespace

TEST(MoveRecords, TheRankTableWritesWhatTheCarriedCountWrites) {
    FixedTimeZone utc("UTC");
    ScratchFolder folder;
    std::mt19937 random(31);
    const size_t sizes[] = {4, 12, 40, 300, 2500};
    int withMoves = 0;
    for (int round = 0; round < 60; ++round) {
        size_t count = sizes[round % 5] + random() % 3;
        std::vector<std::string> second = GeneratedSection(random, count);
        WriteFileBytes(folder.File("first.outline"), WriteOutline(Reordered(second, random)));
        WriteFileBytes(folder.File("second.outline"), WriteOutline(second));
        uint32_t options = round % 2 == 0 ? DIF_OPT_FDFM : DIF_OPT_RDFC;
        std::string plain = BuildWith(true, folder, options);
        std::string fast = BuildWith(false, folder, options);
        ASSERT_EQ(DifferenceBetween(plain, fast), "") << "round " << round << ", " << count;
        withMoves += fast.find(std::string("M\0,\0M\0", 6)) != std::string::npos;
    }
    EXPECT_GT(withMoves, 30);

    for (const std::string& scenario : ListScenarios("build")) {
        for (const char* name : {"first.outline", "second.outline"}) {
            WriteFileBytes(folder.File(name),
                           ReadFileBytes(TestDataPath("build/" + scenario + "/" + name)));
        }
        uint32_t options = static_cast<uint32_t>(
            std::stoul(ScenarioText("build", scenario, "options.txt"), nullptr, 0));
        MessageBoxRecorder boxes;
        EXPECT_EQ(
            DifferenceBetween(BuildWith(true, folder, options), BuildWith(false, folder, options)),
            "")
            << scenario;
    }
    // A planted difference of one byte is found.
    std::string built = BuildWith(false, folder, DIF_OPT_FDFM);
    std::string changed = built;
    changed[changed.size() / 2] ^= 1;
    EXPECT_NE(DifferenceBetween(built, changed), "");
}
