// tests/fuzz/viewer_fuzz.cpp
//
// Any bytes as a compare file given to a viewer: it loads, sorts, and every query at every
// position (and just outside) answers without trouble; searches find what they should.
#include <string>

#include "include/norvex63.h"
#include "runtime/brimrt63.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

constexpr int kKeySize = 512;

const char kOutline[] =
    "OUTLINE 1\n1 \"root\"\n  4 \"a\"\n    9 \"x\"\n    9 \"y\"\n  4 \"b\"\n  9 \"c\"\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::WriteBytes(fuzz::PathOf("input.cmp"), data, size);
    std::u16string path = fuzz::WidePath("input.cmp");
    uint16_t count = 0;
    // Loaded whole, or in part when a record cannot be held (a key longer than a viewer's).
    int32_t loaded = DIF_CompareLoad(path.c_str(), &count);
    fuzz::Require(loaded == 1 || loaded == DIF_LOAD_PARTIAL);
    fuzz::Require(DIF_CompareCount(u" ", u" ") == count);
    DIF_CompareSort();
    fuzz::WriteBytes(fuzz::PathOf("viewer.outline"), std::string(kOutline));
    std::u16string outlinePath = fuzz::WidePath("viewer.outline");
    OutlineHandle outline = OpenOutline(outlinePath.c_str());
    fuzz::Require(outline != 0);
    DIF_CompareSethItems(outline, GetRootItem(outline), 0);
    DIF_CompareSethItems(outline, GetRootItem(outline), 1);
    for (uint16_t side = 1; side <= 2; ++side) {
        for (int32_t position = -1; position <= count; ++position) {
            DIF_CHAR firstKey[kKeySize], secondKey[kKeySize], change[2], subject[2];
            int32_t value = 0;
            DIF_CompareGet(side, position, firstKey, secondKey, change, subject, &value);
            DIF_HANDLE firstItem = 0, secondItem = 0;
            DIF_CompareGethItem(side, position, &firstItem, &secondItem);
            if (position < 0 || position >= count) continue;
            int32_t other = DIF_GetMatchingIndex(side, static_cast<uint16_t>(position));
            fuzz::Require(other >= 0 && other < count);
            fuzz::Require(DIF_GetMatchingIndex(side == 1 ? 2 : 1, static_cast<uint16_t>(other)) ==
                          position);
            // The key at a position is found, at that position or before it among equal keys.
            const DIF_CHAR* key = side == 1 ? firstKey : secondKey;
            int32_t found = DIF_CompareSearch(side, key);
            fuzz::Require(found >= 0 && found <= position);
            int32_t partial = DIF_ComparePartialSearch(side, key);
            fuzz::Require(partial == found);
        }
        DIF_ComparePartialSearch(side, u"001999");
        DIF_ComparePartialSearch(side, u"");
    }
    CloseOutline(outline);
    DIF_CompareUnload();
    fuzz::Require(DIF_CompareCount(u" ", u" ") == 0);
    return 0;
}
