// tests/support/checked_memory_test.cpp
//
// Every warning box of the checked heap, reached through its ordinary cause and through the
// failing-allocation seam, with title and text checked exactly: the warning is the title and
// the information text the body, never the reverse.
#include "support/checked_memory.h"

#include <gtest/gtest.h>

#include "resources/string_table.h"
#include "support/item_key.h"
#include "support/warning_box.h"
#include "tests/helpers/test_support.h"

namespace {

constexpr const char* kBody = "Corvane -  Information";

// Turns the seam off again whatever the test did.
struct SeamOff {
    ~SeamOff() { FailCheckedAllocationAt(0); }
};

void ExpectOneWarning(const MessageBoxRecorder& boxes, const std::string& title) {
    ASSERT_EQ(boxes.Boxes().size(), 1u) << boxes.Lines();
    EXPECT_EQ(boxes.Boxes()[0].title, title);
    EXPECT_EQ(boxes.Boxes()[0].text, kBody);
    EXPECT_EQ(boxes.Boxes()[0].type, MB_OK);
    EXPECT_FALSE(boxes.Boxes()[0].hadOwner);
}

}  // namespace

TEST(CheckedAlloc, ZeroBytesWarnsAndAnswersNone) {
    MessageBoxRecorder boxes;
    EXPECT_EQ(CheckedAlloc(0), nullptr);
    ExpectOneWarning(boxes, "Warning: Attempted to allocate 0 bytes.");

    // Resizing to 0 warns alike and leaves the block allocated and intact.
    boxes.Clear();
    char* block = static_cast<char*>(CheckedAlloc(4));
    ASSERT_NE(block, nullptr);
    block[3] = 'x';
    EXPECT_EQ(CheckedRealloc(block, 0), nullptr);
    ExpectOneWarning(boxes, "Warning: Attempted to allocate 0 bytes.");
    EXPECT_EQ(block[3], 'x');
    CheckedFree(block);
}

TEST(CheckedMemory, RefusedRequestsWarnAndLeaveOldBlocksIntact) {
    SeamOff seamOff;
    MessageBoxRecorder boxes;
    const std::string noMemory = "Warning: Insufficient memory (heap space) is available.";

    FailCheckedAllocationAt(1);
    EXPECT_EQ(CheckedAlloc(16), nullptr);
    ExpectOneWarning(boxes, noMemory);

    // The seam fails exactly the N-th request and no other.
    boxes.Clear();
    FailCheckedAllocationAt(2);
    char* block = static_cast<char*>(CheckedAlloc(8));
    ASSERT_NE(block, nullptr);
    block[0] = 'k';
    EXPECT_EQ(CheckedRealloc(block, 64), nullptr);
    ExpectOneWarning(boxes, noMemory);
    EXPECT_EQ(block[0], 'k');
    EXPECT_EQ(CheckedAllocationRequests(), 2u);
    void* resized = CheckedRealloc(block, 64);  // the third request succeeds again
    ASSERT_NE(resized, nullptr);
    EXPECT_EQ(static_cast<char*>(resized)[0], 'k');
    CheckedFree(resized);

    boxes.Clear();
    FailCheckedAllocationAt(1);
    EXPECT_EQ(CheckedDup(u"text"), nullptr);
    ExpectOneWarning(boxes, noMemory);

    // A key whose allocation is refused is none, after the same warning.
    boxes.Clear();
    FailCheckedAllocationAt(1);
    EXPECT_EQ(MakeKey(u"001", 7), nullptr);
    ExpectOneWarning(boxes, noMemory);
}

TEST(CheckedMemory, NoneGivenWarnsAndDoesNothingElse) {
    MessageBoxRecorder boxes;
    CheckedFree(nullptr);
    ExpectOneWarning(boxes, "Warning: Attempted to free a NULL pointer.");

    boxes.Clear();
    EXPECT_EQ(CheckedDup(nullptr), nullptr);
    ExpectOneWarning(boxes, "Warning: Attempted to de-reference a NULL pointer.");

    // A copy is a separate block with the whole text, the empty text included.
    boxes.Clear();
    WCHAR* empty = CheckedDup(u"");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty[0], 0);
    CheckedFree(empty);
    EXPECT_TRUE(boxes.Boxes().empty()) << boxes.Lines();
}

TEST(CheckHeap, ReportsAnInconsistentHeapAndGoesOn) {
    MessageBoxRecorder boxes;
    CheckHeap();
    EXPECT_TRUE(boxes.Boxes().empty()) << boxes.Lines();
    ForceHeapCheckAnswer(_HEAPBADNODE);
    CheckHeap();
    ForceHeapCheckAnswer(_HEAPOK);
    ExpectOneWarning(boxes, "An error has occurred during a heap check operation.");
}

TEST(WarningBox, WithoutTheStringModuleTitleAndStatusTextsAreEmpty) {
    MessageBoxRecorder boxes;
    // The body text is loaded on the first warning of the process and kept; make sure that
    // happened while the strings were there, whatever ran before in this process.
    ShowWarning(kStringNoMemory);
    boxes.Clear();

    UnregisterLibraryStrings();
    ShowWarning(kStringNoMemory);
    WCHAR buffer[kResourceBufferSize];
    const WCHAR* loading = LoadResString(buffer, kStringLoading);
    RegisterLibraryStrings();

    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].title, "");
    EXPECT_EQ(boxes.Boxes()[0].text, kBody);
    ASSERT_NE(loading, nullptr);
    EXPECT_EQ(loading[0], 0);
    EXPECT_NE(loading, buffer);  // the shared empty text, not the unreliable buffer
    EXPECT_NE(LoadResString(buffer, kStringLoading)[0], 0);  // registered again, found again
}

TEST(StringTable, HoldsEveryTextExactly) {
    // The texts users and other programs see, blanks included, are in the goldens: progress
    // texts, warning boxes and merge banners. The one banner no golden reaches is here.
    WCHAR buffer[kResourceBufferSize];
    EXPECT_EQ(Narrow(LoadResString(buffer, 32)),
              " ! #### DIFF: Conflict - Incompatible change (item deleted) near here ####");
    int loaded = 0;
    for (UINT id = 1; id <= kStringCount + 1; ++id) {
        if (LoadResString(buffer, id)[0] != 0) ++loaded;
    }
    EXPECT_EQ(loaded, kStringCount);  // 1 to 32, and nothing at 33
}
