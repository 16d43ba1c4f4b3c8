// tests/fuzz/build_fuzz.cpp
//
// Two outlines made from one input (cut at "\xff\0", the first byte choosing the options)
// compared by DIF_Build: a status in every case, and a compare file that a viewer loads
// whenever the build says it made one.
#include <string>
#include <vector>

#include "include/norvex63.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

// The option words a build is asked for: each kind, with and without the contents.
const uint32_t kOptions[] = {DIF_OPT_FDFM,         DIF_OPT_RDFC,         DIF_OPT_RDFA,
                             DIF_OPT_FDFM | 0x700, DIF_OPT_RDFC | 0x700, DIF_OPT_RDFA | 0x300};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    uint32_t options = kOptions[data[0] % (sizeof kOptions / sizeof kOptions[0])];
    std::vector<std::string> outlines = fuzz::Split(data + 1, size - 1, 2);
    fuzz::WriteBytes(fuzz::PathOf("first.outline"), outlines[0]);
    fuzz::WriteBytes(fuzz::PathOf("second.outline"), outlines[1]);
    std::u16string compare = fuzz::WidePath("result.cmp");
    uint16_t status =
        DIF_Build(fuzz::WidePath("first.outline").c_str(), fuzz::WidePath("second.outline").c_str(),
                  compare.c_str(), nullptr, 0, options);
    fuzz::Require((status & ~0x3Fu) == 0);
    if ((status & DIF_ST_COMPARE_FILE) == 0) {
        uint16_t count = 0;
        fuzz::Require(DIF_CompareLoad(compare.c_str(), &count) == 1);
        DIF_CompareSort();
        DIF_CompareUnload();
    }
    return 0;
}
