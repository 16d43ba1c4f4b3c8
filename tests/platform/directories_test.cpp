// tests/platform/directories_test.cpp
//
// The library saves the working directory, moves into an outline's folder and comes back, and
// splits paths into their parts: a wrong split or a lost directory sends its files elsewhere.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/platform.h"
#include "tests/helpers/test_support.h"

TEST(Drives, ASystemWithoutDrivesStaysOnDriveZero) {
    EXPECT_EQ(_getdrive(), 0);
    EXPECT_EQ(_chdrive(3), 0);
    EXPECT_EQ(_getdrive(), 0);
}

TEST(WorkingDirectory, ChangesAndReadsBackAsUtf16) {
    ScratchFolder scratch;
    WCHAR saved[4096];
    ASSERT_NE(_wgetcwd(saved, 4096), nullptr);
    std::string folder = scratch.File("d\xC3\xA9");
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    std::u16string widePath = Wide(scratch.Path()) + u"/d\u00e9";
    ASSERT_EQ(_wchdir(widePath.c_str()), 0);
    WCHAR current[4096];
    ASSERT_NE(_wgetcwd(current, 4096), nullptr);
    std::u16string answer(current);
    EXPECT_EQ(answer.substr(answer.size() - 3), u"/d\u00e9");
    // Exactly long enough, and one too short.
    int length = static_cast<int>(answer.size());
    EXPECT_EQ(_wgetcwd(current, length + 1), current);
    errno = 0;
    EXPECT_EQ(_wgetcwd(current, length), nullptr);
    EXPECT_EQ(errno, ERANGE);
    EXPECT_EQ(_wgetcwd(current, 0), nullptr);
    // A failed change stays where it was.
    EXPECT_EQ(_wchdir(u"no such folder"), -1);
    EXPECT_EQ(_wchdir(nullptr), -1);
    ASSERT_NE(_wgetcwd(current, 4096), nullptr);
    EXPECT_EQ(std::u16string(current), answer);
    ASSERT_EQ(_wchdir(saved), 0);
}

TEST(WorkingDirectory, AFolderNamedByBytesThatAreNotUtf8ComesBackByteForByte) {
    ScratchFolder scratch;
    char saved[4096];
    ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
    std::string folder = scratch.File("d\xE9\xFF\xC3(");
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    ASSERT_EQ(chdir(folder.c_str()), 0);
    WCHAR current[4096];
    ASSERT_NE(_wgetcwd(current, 4096), nullptr);
    std::u16string answer(current);
    EXPECT_EQ(answer.substr(answer.size() - 6), u"/d\xDCE9\xDCFF\xDCC3(");
    // Back into the same folder from elsewhere, by the name the runtime gave.
    ASSERT_EQ(chdir(saved), 0);
    ASSERT_EQ(_wchdir(current), 0);
    char system[4096];
    ASSERT_NE(getcwd(system, sizeof system), nullptr);
    EXPECT_EQ(std::string(system), folder);
    ASSERT_EQ(chdir(saved), 0);
}

namespace {

struct SplitCase {
    const char16_t* path;
    const char16_t* drive;
    const char16_t* dir;
    const char16_t* name;
    const char16_t* ext;
};

}  // namespace

TEST(SplitPath, MicrosoftRulesWithBothSlashes) {
    const SplitCase cases[] = {
        {u"C:\\dir\\sub/file.tar.gz", u"C:", u"\\dir\\sub/", u"file.tar", u".gz"},
        {u"file", u"", u"", u"file", u""},
        {u"/a.b/c", u"", u"/a.b/", u"c", u""},
        {u"dir/.profile", u"", u"dir/", u"", u".profile"},
        {u"dir/", u"", u"dir/", u"", u""},
        {u"x/y.", u"", u"x/", u"y", u"."},
        {u"C:", u"C:", u"", u"", u""},
        {u"a:b.c", u"a:", u"", u"b", u".c"},
        {u"ab:c", u"", u"", u"ab:c", u""},
        {u"", u"", u"", u"", u""},
    };
    for (const SplitCase& expected : cases) {
        WCHAR drive[8], dir[32], name[32], ext[32];
        ASSERT_EQ(_wsplitpath_s(expected.path, drive, 8, dir, 32, name, 32, ext, 32), 0);
        EXPECT_EQ(std::u16string(drive), expected.drive);
        EXPECT_EQ(std::u16string(dir), expected.dir);
        EXPECT_EQ(std::u16string(name), expected.name);
        EXPECT_EQ(std::u16string(ext), expected.ext);
    }
    // Unwanted parts may be left out.
    WCHAR name[32];
    ASSERT_EQ(_wsplitpath_s(u"a/b.c", nullptr, 0, nullptr, 0, name, 32, nullptr, 0), 0);
    EXPECT_EQ(std::u16string(name), u"b");
}

TEST(SplitPath, APartThatDoesNotFitEmptiesEveryOutput) {
    WCHAR drive[3], dir[8], name[4], ext[8];
    ASSERT_EQ(_wsplitpath_s(u"C:/d/abc.e", drive, 3, dir, 8, name, 4, ext, 8), 0);
    EXPECT_EQ(std::u16string(name), u"abc");
    EXPECT_EQ(_wsplitpath_s(u"C:/d/abcd.e", drive, 3, dir, 8, name, 4, ext, 8), ERANGE);
    for (const WCHAR* part : {drive, dir, name, ext}) EXPECT_EQ(part[0], 0);
    dir[0] = u'#';
    EXPECT_EQ(_wsplitpath_s(nullptr, drive, 3, dir, 8, name, 4, ext, 8), EINVAL);
    EXPECT_EQ(dir[0], 0);
}
