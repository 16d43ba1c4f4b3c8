// outline/outline_object.cpp: opening, closing and labelling outlines.
#include "outline/outline_object.h"

#include "support/checked_memory.h"

COutline g_firstOutline;
COutline g_secondOutline;

namespace {

// Room for a drive ("X:" and the terminator) and for a folder as the caller's working
// directory is remembered.
constexpr size_t kDriveSize = 3;
constexpr size_t kFolderSize = 256;

}  // namespace

bool COutline::Open(const WCHAR* path) {
    ChangeToFileFolder(path);
    // The runtime gets a private copy of the path, released right after the call.
    WCHAR* copy = path != nullptr ? CheckedDup(path) : nullptr;
    outline_ = copy != nullptr ? OpenOutline(copy) : 0;
    if (copy != nullptr) CheckedFree(copy);
    return outline_ != 0;
}

void COutline::AttachOutline(OutlineHandle outline) { outline_ = outline; }

void COutline::Close() {
    if (outline_ != 0) CloseOutline(outline_);
    outline_ = 0;
}

int32_t COutline::Save(const WCHAR* path) { return SaveOutline(outline_, path); }

ItemHandle COutline::GetRoot() const { return GetRootItem(outline_); }

void COutline::SetLabel(const WCHAR* text) {
    if (text == nullptr || text[0] == 0) {
        label_ = CWideString();
        return;
    }
    label_ = WIDE("[") + CWideString(text) + WIDE("]");
}

void ChangeToFileFolder(const WCHAR* path) {
    if (path == nullptr) return;
    WCHAR drive[kDriveSize];
    WCHAR folder[kFolderSize];
    // A path whose parts do not fit leaves the current drive and folder as they are.
    if (_wsplitpath_s(path, drive, kDriveSize, folder, kFolderSize, nullptr, 0, nullptr, 0) != 0) {
        return;
    }
    if (drive[0] != 0) {
        // Letters below 'a' count as capitals.
        WCHAR letter = drive[0];
        _chdrive(letter < u'a' ? letter - u'A' + 1 : letter - u'a' + 1);
    }
    if (folder[0] != 0) _wchdir(folder);
}
