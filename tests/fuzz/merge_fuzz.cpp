// tests/fuzz/merge_fuzz.cpp
//
// Three outlines made from one input (cut at "\xff\0", the first byte choosing the options)
// merged by DIF_Merge: a status in every case, and a result that opens again whenever the
// merge says it succeeded.
#include <string>
#include <vector>

#include "include/norvex63.h"
#include "runtime/brimrt63.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

const uint32_t kOptions[] = {0, DIF_OPT_RDFC, DIF_OPT_RDFA, 0x100, 0x200, 0x400, 0x700};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    uint32_t options = kOptions[data[0] % (sizeof kOptions / sizeof kOptions[0])];
    std::vector<std::string> outlines = fuzz::Split(data + 1, size - 1, 3);
    const char* names[] = {"base.outline", "version1.outline", "version2.outline"};
    for (int k = 0; k < 3; ++k) fuzz::WriteBytes(fuzz::PathOf(names[k]), outlines[k]);
    std::remove(fuzz::PathOf("merged.outline").c_str());
    uint16_t conflicts = 0, warnings = 0;
    uint16_t status =
        DIF_Merge(fuzz::WidePath(names[0]).c_str(), fuzz::WidePath(names[1]).c_str(),
                  fuzz::WidePath(names[2]).c_str(), fuzz::WidePath("merged.outline").c_str(),
                  nullptr, 0, options, &conflicts, &warnings);
    fuzz::Require((status & ~0x3Fu) == 0);
    if (status == 0) {
        OutlineHandle merged = OpenOutline(fuzz::WidePath("merged.outline").c_str());
        fuzz::Require(merged != 0);
        CloseOutline(merged);
    }
    return 0;
}
