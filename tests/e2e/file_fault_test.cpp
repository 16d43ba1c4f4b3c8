// tests/e2e/file_fault_test.cpp
//
// Outputs that cannot be written, through the exports: a full disk, a device, a folder
// without write permission, a path under a file, a path that is a folder. Each call must say
// so with its own status bit, leave what stood at the path as it was and leave no temporary
// file behind. And a viewer whose compare file disappears after loading keeps its list.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "include/norvex63.h"
#include "outline/outline_runtime.h"
#include "tests/helpers/test_support.h"

namespace {

const char kOldOutput[] = "what stood at the output path before\n";

// The inputs of one build, one apply and one merge, copied into a scratch folder, with a
// compare file of the two build outlines for the apply.
class FaultInputs {
public:
    FaultInputs() {
        for (const char* name : {"first.outline", "second.outline"}) {
            WriteFileBytes(folder.File(name),
                           ReadFileBytes(TestDataPath(
                               std::string("build/changes-additions-deletions/") + name)));
        }
        for (const char* name : {"base.outline", "version1.outline", "version2.outline"}) {
            WriteFileBytes(folder.File(name),
                           ReadFileBytes(TestDataPath(std::string("merge/clean/") + name)));
        }
        EXPECT_EQ(DIF_Build(Path("first.outline").c_str(), Path("second.outline").c_str(),
                            Path("made.cmp").c_str(), nullptr, 0, 0),
                  0);
        before = Names();
    }

    std::u16string Path(const std::string& name) const { return folder.WideFile(name); }

    uint16_t Build(const std::u16string& output) {
        return DIF_Build(Path("first.outline").c_str(), Path("second.outline").c_str(),
                         output.c_str(), nullptr, 0, 0);
    }
    uint16_t Apply(const std::u16string& output) {
        return DIF_Apply(Path("second.outline").c_str(), Path("made.cmp").c_str(), output.c_str(),
                         nullptr, 0);
    }
    uint16_t Merge(const std::u16string& output) {
        uint16_t conflicts = 7, warnings = 7;
        return DIF_Merge(Path("base.outline").c_str(), Path("version1.outline").c_str(),
                         Path("version2.outline").c_str(), output.c_str(), nullptr, 0, 0,
                         &conflicts, &warnings);
    }

    // Every name in the folder and below it, sorted.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder.Path())) {
            names.push_back(entry.path().lexically_relative(folder.Path()).string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    // The inputs untouched and nothing added but what the test made itself.
    void ExpectOnlyFilesOf(const std::vector<std::string>& added) const {
        std::vector<std::string> expected = before;
        expected.insert(expected.end(), added.begin(), added.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(Names(), expected) << "a temporary file was left behind, or an input went away";
    }

    ScratchFolder folder;
    std::vector<std::string> before;
};

// Each of the three calls writing to output, which they cannot write: the build answers
// DIF_ST_COMPARE_FILE alone, the apply "not saved", the merge DIF_ST_MERGE_SAVE.
void ExpectEveryOutputRefused(FaultInputs& inputs, const std::u16string& output) {
    EXPECT_EQ(inputs.Build(output), DIF_ST_COMPARE_FILE) << "build";
    EXPECT_EQ(inputs.Apply(output), 0x01) << "apply";
    EXPECT_EQ(inputs.Merge(output), DIF_ST_MERGE_SAVE) << "merge";
}

// Writes past a few bytes fail as on a full disk, for the life of the object; this binds
// for every user, root included. The signal such a write raises is ignored, so the write
// answers its error instead.
class FullDisk {
public:
    FullDisk() {
        getrlimit(RLIMIT_FSIZE, &previous_);
        previousHandler_ = signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = previous_;
        small.rlim_cur = 24;
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FullDisk() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        signal(SIGXFSZ, previousHandler_);
    }

private:
    struct rlimit previous_;
    void (*previousHandler_)(int);
};

TEST(FileFaults, FullDiskFailsEachOutputAndKeepsTheOldFile) {
    FaultInputs inputs;
    WriteFileBytes(inputs.folder.File("out"), kOldOutput);
    uint16_t build, apply, merge;
    {
        FullDisk full;
        build = inputs.Build(inputs.Path("out"));
        apply = inputs.Apply(inputs.Path("out"));
        merge = inputs.Merge(inputs.Path("out"));
    }
    EXPECT_EQ(build, DIF_ST_COMPARE_FILE);
    EXPECT_EQ(apply, 0x01);
    EXPECT_EQ(merge, DIF_ST_MERGE_SAVE);
    EXPECT_EQ(ReadFileBytes(inputs.folder.File("out")), kOldOutput);
    inputs.ExpectOnlyFilesOf({"out"});
}

TEST(FileFaults, FullDeviceAsOutputFailsAndStaysADevice) {
    // /dev/full itself where the folder /dev is closed to us; as root, whom nothing stops from
    // replacing a device, a node of the same device in the scratch folder, so that a fault
    // cannot harm the machine's own.
    FaultInputs inputs;
    std::string device = "/dev/full";
    if (geteuid() == 0) {
        device = inputs.folder.File("full");
        ASSERT_EQ(mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 7)), 0);
    } else if (access("/dev/full", W_OK) != 0) {
        GTEST_SKIP() << "no writable /dev/full here";
    }
    ExpectEveryOutputRefused(inputs, Wide(device));
    struct stat status {};
    ASSERT_EQ(stat(device.c_str(), &status), 0);
    EXPECT_TRUE(S_ISCHR(status.st_mode)) << device << " was replaced by a file";
    inputs.ExpectOnlyFilesOf(geteuid() == 0 ? std::vector<std::string>{"full"}
                                            : std::vector<std::string>{});
}

TEST(FileFaults, FolderWithoutWritePermissionFailsEachOutput) {
    FaultInputs inputs;
    std::string closed = inputs.folder.File("closed");
    std::filesystem::create_directory(closed);
    WriteFileBytes(closed + "/out", kOldOutput);
    chmod(closed.c_str(), 0555);
    // Permissions do not bind root: find out by trying.
    std::string probe = closed + "/probe";
    FILE* made = fopen(probe.c_str(), "wb");
    if (made != nullptr) {
        fclose(made);
        remove(probe.c_str());
        chmod(closed.c_str(), 0755);
        GTEST_SKIP()
            << "folder permissions do not bind this user (root); the path under a file covers it";
    }
    ExpectEveryOutputRefused(inputs, Wide(closed + "/out"));
    ExpectEveryOutputRefused(inputs, Wide(closed + "/new"));
    chmod(closed.c_str(), 0755);
    EXPECT_EQ(ReadFileBytes(closed + "/out"), kOldOutput);
    inputs.ExpectOnlyFilesOf({"closed", "closed/out"});
}

TEST(FileFaults, PathUnderAFileOrAFolderAsOutputFailsEachOutput) {
    FaultInputs inputs;
    WriteFileBytes(inputs.folder.File("file.txt"), kOldOutput);
    // No folder can be made under a file, for root neither.
    ExpectEveryOutputRefused(inputs, inputs.Path("file.txt/out"));
    ExpectEveryOutputRefused(inputs, inputs.Path("missing/out"));
    // A folder, empty or not, is never replaced by an output.
    std::filesystem::create_directory(inputs.folder.File("empty"));
    std::filesystem::create_directory(inputs.folder.File("full"));
    WriteFileBytes(inputs.folder.File("full/inside"), kOldOutput);
    ExpectEveryOutputRefused(inputs, inputs.Path("empty"));
    ExpectEveryOutputRefused(inputs, inputs.Path("full"));
    EXPECT_TRUE(std::filesystem::is_directory(inputs.folder.File("empty")));
    EXPECT_EQ(ReadFileBytes(inputs.folder.File("file.txt")), kOldOutput);
    EXPECT_EQ(ReadFileBytes(inputs.folder.File("full/inside")), kOldOutput);
    inputs.ExpectOnlyFilesOf({"file.txt", "empty", "full", "full/inside"});
}

// One record as "change subject key1 key2 value".
std::string RecordAt(uint16_t side, int32_t position) {
    DIF_CHAR firstKey[64] = u"", secondKey[64] = u"", change[2] = u"", subject[2] = u"";
    int32_t value = -99;
    DIF_CompareGet(side, position, firstKey, secondKey, change, subject, &value);
    return Narrow(change) + " " + Narrow(subject) + " " + Narrow(firstKey) + " " +
           Narrow(secondKey) + " " + std::to_string(value);
}

std::vector<std::string> EveryRecord(uint16_t count) {
    std::vector<std::string> records;
    for (uint16_t position = 0; position < count; ++position) {
        records.push_back(RecordAt(1, position) + " | " + RecordAt(2, position) + " | " +
                          std::to_string(DIF_GetMatchingIndex(1, position)));
    }
    return records;
}

TEST(ViewerFaults, CompareFileGoneAfterLoadKeepsTheListAndClosedOutlinesResolveToNothing) {
    FaultInputs inputs;
    uint16_t count = 0;
    ASSERT_EQ(DIF_CompareLoad(inputs.Path("made.cmp").c_str(), &count), 1);
    ASSERT_GT(count, 2);
    DIF_CompareSort();
    std::vector<std::string> loaded = EveryRecord(count);
    uint16_t changes = DIF_CompareCount(u"C", u" ");

    std::filesystem::remove(inputs.folder.File("made.cmp"));
    EXPECT_EQ(DIF_CompareCount(u" ", u" "), count);
    EXPECT_EQ(DIF_CompareCount(u"C", u" "), changes);
    DIF_CompareSort();
    EXPECT_EQ(EveryRecord(count), loaded);
    DIF_CHAR key[64] = u"";
    DIF_CompareGet(1, 0, key, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(DIF_CompareSearch(1, key), 0);

    // The outlines a viewer held, closed before it resolves: every item handle is 0, and an
    // open outline still resolves afterwards.
    OutlineHandle first = OpenOutline(inputs.Path("first.outline").c_str());
    OutlineHandle second = OpenOutline(inputs.Path("second.outline").c_str());
    ASSERT_NE(first, 0u);
    ASSERT_NE(second, 0u);
    ItemHandle firstRoot = GetRootItem(first);
    CloseOutline(first);
    EXPECT_EQ(DIF_CompareSethItems(first, firstRoot, 0), 1);
    EXPECT_EQ(DIF_CompareSethItems(second, GetRootItem(second), 1), 1);
    int resolved = 0;
    for (uint16_t position = 0; position < count; ++position) {
        DIF_HANDLE firstItem = 99, secondItem = 99;
        DIF_CompareGethItem(1, position, &firstItem, &secondItem);
        EXPECT_EQ(firstItem, 0u) << "record " << position << " names an item of a closed outline";
        resolved += secondItem != 0;
    }
    EXPECT_GT(resolved, 0);
    CloseOutline(second);
    EXPECT_EQ(DIF_CompareSethItems(second, firstRoot, 1), 1);
    for (uint16_t position = 0; position < count; ++position) {
        DIF_HANDLE firstItem = 99, secondItem = 99;
        DIF_CompareGethItem(2, position, &firstItem, &secondItem);
        EXPECT_EQ(secondItem, 0u) << "record " << position;
    }

    // A reload of the vanished file fails and leaves the list empty.
    EXPECT_EQ(DIF_CompareLoad(inputs.Path("made.cmp").c_str(), &count), 0);
    EXPECT_EQ(DIF_CompareCount(u" ", u" "), 0);
    DIF_CompareUnload();
}

}  // namespace
