// tests/runtime/runtime_test_support.cpp: the runtime tests' shared helpers.
#include "tests/runtime/runtime_test_support.h"

OutlineHandle OpenBytes(const ScratchFolder& folder, const std::string& name,
                        const std::string& bytes) {
    WriteFileBytes(folder.File(name), bytes);
    return OpenOutline(folder.WideFile(name).c_str());
}

std::string SaveBytes(const ScratchFolder& folder, const std::string& name, OutlineHandle outline) {
    if (SaveOutline(outline, folder.WideFile(name).c_str()) == 0) return "(save failed)";
    return ReadFileBytes(folder.File(name));
}

std::string LastOpenError() {
    int32_t length = GetOutlineError(nullptr, 0);
    std::u16string reason(static_cast<size_t>(length) + 1, u'\0');
    GetOutlineError(&reason[0], length + 1);
    reason.resize(static_cast<size_t>(length));
    return Narrow(reason);
}

std::u16string TakeString(StringHandle string) {
    if (string == 0) return u"(none)";
    int32_t length = -1;
    const WCHAR* characters = GetStringText(string, &length);
    std::u16string text = characters == nullptr
                              ? u"(bad string)"
                              : std::u16string(characters, static_cast<size_t>(length));
    FreeString(string);
    return text;
}
