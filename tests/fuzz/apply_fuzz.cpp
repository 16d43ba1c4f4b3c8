// tests/fuzz/apply_fuzz.cpp
//
// Any bytes as a compare file applied to a fixed outline: the apply answers a status, and
// when it says the result is saved, the result is an outline that opens again.
#include <string>

#include "include/norvex63.h"
#include "runtime/brimrt63.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

const char kOutline[] =
    "OUTLINE 1\n1 \"root\"\n  4 \"a\"\n    @501 \"v\"\n    %\"p\" \"q\"\n    $39 5\n"
    "    9 \"x\"\n    9 \"y\"\n  4 \"b\"\n    9 \"z\"\n  9 \"c\"\n  22 [nodelete] \"k\"\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::WriteBytes(fuzz::PathOf("input.cmp"), data, size);
    fuzz::WriteBytes(fuzz::PathOf("target.outline"), std::string(kOutline));
    std::remove(fuzz::PathOf("patched.outline").c_str());
    uint16_t status =
        DIF_Apply(fuzz::WidePath("target.outline").c_str(), fuzz::WidePath("input.cmp").c_str(),
                  fuzz::WidePath("patched.outline").c_str(), nullptr, 0);
    if (status == 0) {
        OutlineHandle patched = OpenOutline(fuzz::WidePath("patched.outline").c_str());
        fuzz::Require(patched != 0);
        CloseOutline(patched);
    }
    return 0;
}
