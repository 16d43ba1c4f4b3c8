// tests/e2e/build_determinism_test.cpp
//
// A build writes the same bytes for the same two outlines, whenever and wherever it runs:
// twice in a row, again after builds of other pairs in between, and as in every earlier
// process (each compare file's records against a digest kept in tests/data/build/
// determinism.txt). A pairing or a record order that hangs on an address, a hash seed or state
// left by an earlier call shows up here as one differing compare file.
//
// The pairs are the seeded outlines and versions of tests/helpers/outline_tree.h (repeated and
// near-equal texts, so that pairings tie; contents of every kind; moves within and across
// sections). Each pair is built with the three compare file kinds in turn, with and without
// the content options.
// NORVEX_BUILD_SEEDS=<count> runs more pairs for a longer local run. A deliberate change of
// the pairs or of what a build writes makes new digests: remove the file, run the test once
// (it fails, having written them) and review the compare files that changed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "include/norvex63.h"
#include "tests/helpers/outline_tree.h"
#include "tests/helpers/test_support.h"

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr int kDefaultPairs = 60;
#else
constexpr int kDefaultPairs = 300;
#endif
constexpr uint32_t kFirstSeed = 7100;
// The pairs whose records' digests are kept: the default count without the sanitizer.
constexpr size_t kRecordedPairs = 300;
constexpr uint32_t kContentOptions = DIF_OPT_ATTRIBUTES | DIF_OPT_PROPERTIES | DIF_OPT_DTDATA;

struct Build {
    std::string first, second, compare;
    uint32_t options;
};

uint16_t RunBuild(const Build& build, const std::string& compare) {
    return DIF_Build(Wide(build.first).c_str(), Wide(build.second).c_str(), Wide(compare).c_str(),
                     nullptr, 0, build.options);
}

int PairCount() {
    const char* count = getenv("NORVEX_BUILD_SEEDS");
    return count != nullptr && atoi(count) > 0 ? atoi(count) : kDefaultPairs;
}

// Writes the pairs and answers the builds: per pair, one kind (FDFM, RDFC, RDFA in turn),
// without and with the content options.
std::vector<Build> WritePairs(const ScratchFolder& folder, int pairs) {
    const uint32_t kKinds[] = {DIF_OPT_FDFM, DIF_OPT_RDFC, DIF_OPT_RDFA};
    std::vector<Build> builds;
    for (int pair = 0; pair < pairs; ++pair) {
        const uint32_t seed = kFirstSeed + static_cast<uint32_t>(pair);
        OutlineNode original, version;
        RandomOutlinePair(seed, &original, &version);
        const std::string name = std::to_string(seed);
        WriteOutlineFile(folder.File(name + "-a.outline"), original);
        WriteOutlineFile(folder.File(name + "-b.outline"), version);
        for (uint32_t contents : {0u, kContentOptions}) {
            builds.push_back({folder.File(name + "-a.outline"), folder.File(name + "-b.outline"),
                              folder.File(name + "-" + std::to_string(contents) + ".cmp"),
                              kKinds[pair % 3] | contents});
        }
    }
    return builds;
}

// The pair's seed, the options and a digest (64-bit FNV-1a) of the compare file's records:
// the header lines before them name scratch folders and dates, which vary from run to run.
std::string DigestLine(uint32_t seed, uint32_t options, const std::string& compareFile) {
    std::vector<std::string> lines = Utf16Lines(compareFile);
    uint64_t digest = 14695981039346656037ull;
    for (size_t k = 4; k < lines.size(); ++k) {
        for (char byte : lines[k] + "\n")
            digest = (digest ^ static_cast<uint8_t>(byte)) * 1099511628211ull;
    }
    std::ostringstream line;
    line << seed << " 0x" << std::hex << options << " " << digest << "\n";
    return line.str();
}

std::string Describe(const Build& build) {
    return build.first + " against " + build.second + ", options 0x" + [](uint32_t options) {
        std::ostringstream hex;
        hex << std::hex << options;
        return hex.str();
    }(build.options);
}

}  // namespace

TEST(BuildDeterminism, SamePairGivesTheSameBytesTwiceAfterOtherBuildsAndInEveryProcess) {
    ScratchFolder folder;
    MessageBoxRecorder boxes;
    const std::vector<Build> builds = WritePairs(folder, PairCount());

    // 1. Each pair twice in a row.
    std::vector<std::string> first(builds.size());
    int failures = 0;
    for (size_t k = 0; k < builds.size() && failures < 5; ++k) {
        const Build& build = builds[k];
        uint16_t status = RunBuild(build, build.compare);
        first[k] = ReadFileBytes(build.compare);
        RunBuild(build, build.compare + ".again");
        bool same = ReadFileBytes(build.compare + ".again") == first[k];
        EXPECT_TRUE(same) << "built twice in a row: " << Describe(build);
        EXPECT_EQ(status & ~DIF_ST_SECTION_LIMIT & ~DIF_ST_ABORTED, 0) << Describe(build);
        if (!same) ++failures;
    }
    // 2. Again, in the reverse order, so that every pair follows builds of other pairs.
    for (size_t k = builds.size(); k-- > 0 && failures < 5;) {
        const Build& build = builds[k];
        RunBuild(build, build.compare + ".later");
        bool same = ReadFileBytes(build.compare + ".later") == first[k];
        EXPECT_TRUE(same) << "built after other builds: " << Describe(build);
        if (!same) ++failures;
    }
    // 3. As every earlier process wrote them: the digests of the default pairs' records.
    std::string digests;
    for (size_t k = 0; k < builds.size() && k < 2 * kRecordedPairs; ++k) {
        digests +=
            DigestLine(kFirstSeed + static_cast<uint32_t>(k / 2), builds[k].options, first[k]);
    }
    std::string recorded = ReadFileBytes(TestDataPath("build/determinism.txt"));
    if (recorded.empty()) {
        ADD_FAILURE() << CompareWithGolden("build", ".", "determinism.txt", digests);
    } else {
        EXPECT_EQ(FirstDifference(recorded.substr(0, digests.size()), digests), "")
            << "a build's records differ from those of earlier processes";
    }
    EXPECT_EQ(boxes.Lines(), "");
}
