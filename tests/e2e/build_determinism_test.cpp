// tests/e2e/build_determinism_test.cpp
//
// A build writes the same bytes for the same two outlines, whenever and wherever it runs:
// twice in a row, again after builds of other pairs in between, and in another process. A
// pairing or a record order that hangs on an address, a hash seed or state left by an earlier
// call shows up here as one differing compare file.
//
// The pairs are the seeded outlines and versions of tests/helpers/outline_tree.h (repeated and
// near-equal texts, so that pairings tie; contents of every kind; moves within and across
// sections). Each pair is built with the three compare file kinds in turn, with and without
// the content options.
// NORVEX_BUILD_SEEDS=<count> runs more pairs for a longer local run.
#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "include/norvex63.h"
#include "tests/helpers/outline_tree.h"
#include "tests/helpers/test_support.h"

extern char** environ;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr int kDefaultPairs = 60;
#else
constexpr int kDefaultPairs = 300;
#endif
constexpr uint32_t kFirstSeed = 7100;
constexpr uint32_t kContentOptions = DIF_OPT_ATTRIBUTES | DIF_OPT_PROPERTIES | DIF_OPT_DTDATA;
// Set in the child process: the list of builds it is to make.
const char kChildListVariable[] = "NORVEX_DETERMINISM_LIST";

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

// Runs this test program again, in a fresh process, for the builds in the list file.
int RunChildProcess(const std::string& listPath) {
    std::string filter = "--gtest_filter=BuildDeterminism.ChildProcessMakesTheListedBuilds";
    std::string variable = std::string(kChildListVariable) + "=" + listPath;
    std::vector<char*> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) environment.push_back(*entry);
    environment.push_back(&variable[0]);
    environment.push_back(nullptr);
    char program[] = "/proc/self/exe";
    char* arguments[] = {program, &filter[0], nullptr};
    pid_t child = 0;
    if (posix_spawn(&child, program, nullptr, nullptr, arguments, environment.data()) != 0)
        return -1;
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Describe(const Build& build) {
    return build.first + " against " + build.second + ", options 0x" + [](uint32_t options) {
        std::ostringstream hex;
        hex << std::hex << options;
        return hex.str();
    }(build.options);
}

}  // namespace

TEST(BuildDeterminism, SamePairGivesTheSameBytesTwiceAfterOtherBuildsAndInAnotherProcess) {
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
    // 3. In a fresh process.
    std::ofstream list(folder.File("builds.txt"));
    for (const Build& build : builds) {
        list << build.first << "\t" << build.second << "\t" << build.compare + ".child"
             << "\t" << build.options << "\n";
    }
    list.close();
    ASSERT_EQ(RunChildProcess(folder.File("builds.txt")), 0);
    for (size_t k = 0; k < builds.size() && failures < 5; ++k) {
        bool same = ReadFileBytes(builds[k].compare + ".child") == first[k];
        EXPECT_TRUE(same) << "built in another process: " << Describe(builds[k]);
        if (!same) ++failures;
    }
    EXPECT_EQ(boxes.Lines(), "");
}

// The other process of the test above; it does nothing unless that test started it.
TEST(BuildDeterminism, ChildProcessMakesTheListedBuilds) {
    const char* listPath = getenv(kChildListVariable);
    if (listPath == nullptr) GTEST_SKIP() << "started only by the test above";
    std::ifstream list(listPath);
    std::string line;
    int made = 0;
    while (std::getline(list, line)) {
        std::istringstream fields(line);
        Build build;
        std::string options;
        std::getline(fields, build.first, '\t');
        std::getline(fields, build.second, '\t');
        std::getline(fields, build.compare, '\t');
        std::getline(fields, options);
        build.options = static_cast<uint32_t>(std::stoul(options));
        RunBuild(build, build.compare);
        ++made;
    }
    EXPECT_GT(made, 0);
}
