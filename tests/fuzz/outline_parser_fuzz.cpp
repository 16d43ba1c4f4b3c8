// tests/fuzz/outline_parser_fuzz.cpp
//
// Any bytes as an outline file: the runtime refuses them with a reason or opens them; an
// opened outline walks without trouble and saves, and what it saves opens again and saves
// to the same bytes.
#include "runtime/brimrt63.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::WriteBytes(fuzz::PathOf("input.outline"), data, size);
    std::u16string input = fuzz::WidePath("input.outline");
    OutlineHandle outline = OpenOutline(input.c_str());
    if (outline == 0) {
        WCHAR reason[512];
        fuzz::Require(GetOutlineError(reason, 512) > 0);
        return 0;
    }
    // Walk every item with the operations a host uses, from the root down.
    std::vector<ItemHandle> pending = {GetRootItem(outline)};
    while (!pending.empty()) {
        ItemHandle item = pending.back();
        pending.pop_back();
        StringHandle text = 0;
        GetItemText(outline, item, 1, &text);
        int32_t length = 0;
        GetStringText(text, &length);
        FreeString(text);
        GetItemType(outline, item);
        IsItemSkipped(outline, item);
        for (ItemHandle child = GetFirstChild(outline, item); child != 0;
             child = GetNextSibling(outline, child)) {
            pending.push_back(child);
        }
    }
    std::u16string saved = fuzz::WidePath("saved.outline");
    fuzz::Require(SaveOutline(outline, saved.c_str()) != 0);
    CloseOutline(outline);
    OutlineHandle again = OpenOutline(saved.c_str());
    fuzz::Require(again != 0);
    std::u16string resaved = fuzz::WidePath("resaved.outline");
    fuzz::Require(SaveOutline(again, resaved.c_str()) != 0);
    CloseOutline(again);
    fuzz::Require(fuzz::ReadBytes(fuzz::PathOf("saved.outline")) ==
                  fuzz::ReadBytes(fuzz::PathOf("resaved.outline")));
    return 0;
}
