// outline/outline_object.h
//
// The outline object: one open outline of the runtime, seen by the engines one section (the
// children of one item) at a time. The process-wide objects serve the two sides of a
// comparison and the apply.
#pragma once

#include <cstdint>

#include "outline/outline_runtime.h"
#include "platform/platform.h"
#include "support/wide_string.h"

class COutline {
public:
    COutline() = default;
    // The held outline is not closed here: the driver that opened it closes it.
    virtual ~COutline() = default;
    COutline(const COutline&) = delete;
    COutline& operator=(const COutline&) = delete;

    // Makes the file's drive and folder current, then opens path through the runtime. Answers
    // whether it opened; a handle already held is overwritten, not closed.
    bool Open(const WCHAR* path);
    // Holds an outline that the caller opened and will close.
    void AttachOutline(OutlineHandle outline);
    // Closes the held outline, if any; the object then holds none.
    void Close();
    // Saves the held outline at path; nonzero on success.
    int32_t Save(const WCHAR* path);
    ItemHandle GetRoot() const;
    // The label names the outline in warnings: "[" + text + "]", or empty for an empty text.
    void SetLabel(const WCHAR* text);

    OutlineHandle Outline() const { return outline_; }
    const CWideString& Label() const { return label_; }

private:
    OutlineHandle outline_ = 0;
    CWideString label_;
};

// The first and the second outline of a comparison; the apply patches the second.
extern COutline g_firstOutline;
extern COutline g_secondOutline;

// Makes the drive and the folder of path current, where path names them.
void ChangeToFileFolder(const WCHAR* path);
