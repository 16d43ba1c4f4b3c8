// outline/outline_object.h
//
// The outline object: one open outline of the runtime, seen by the engines one section (the
// children of one item) at a time, loaded into parallel per-item arrays that the comparison,
// the apply and the merge index by position. No engine keeps a tree of its own: it frees one
// section's arrays and loads the next.
#pragma once

#include <cstdint>

#include "outline/outline_runtime.h"
#include "platform/platform.h"
#include "support/wide_string.h"

// Per-item arrays grow by this many entries at a time.
constexpr int32_t kItemArrayStep = 255;
// A section's limit under the compare file kinds RDFC and RDFA: keys have three digits per
// level, so a section can address at most 999 children.
constexpr int32_t kSectionItemLimit = 999;
// DTDATA values of an item: indexes 0 to 41, of which only kDTDataIndex is ever read.
constexpr int32_t kDTDataCount = 42;
constexpr int32_t kDTDataIndex = 39;

// Status letters that loading sets; the engines replace them with their own.
constexpr WCHAR kStatusUnresolved = u'.';
constexpr WCHAR kStatusIgnored = u'I';
// The type of an item that loading ignores, and the partner index of an item without one.
constexpr int32_t kIgnoredType = -1;
constexpr int32_t kNoMatch = -1;

// The customizer attributes of inheritable contents, which the merge never merges value by
// value: 429 holds the contents; a nonzero number in 430 or 431 marks an item as inheriting
// them (the two are treated alike).
constexpr uint32_t kInheritableContentsAttribute = 429;
constexpr uint32_t kInheritanceMarkAttribute = 430;
constexpr uint32_t kOtherInheritanceMarkAttribute = 431;
// Flag bits of an attribute set: attributes 429, 431 and 430 holding a nonzero number.
constexpr uint32_t kAttribute429Set = 0x1;
constexpr uint32_t kAttribute431Set = 0x2;
constexpr uint32_t kAttribute430Set = 0x4;

// The customizer attributes of one item, in the runtime's order.
struct AttributeSet {
    int32_t count;
    WCHAR** values;  // count values, none when count is 0
    uint32_t* ids;   // count attribute identifiers, parallel to values
    uint32_t flags;  // kAttribute...Set bits
};

// The named properties of one item, in the runtime's order.
struct PropertySet {
    int32_t count;
    WCHAR** names;
    WCHAR** values;  // parallel to names
};

// The DTDATA of one item: kDTDataCount entries, all 0 and absent but kDTDataIndex.
struct DTDataSet {
    int32_t count;
    int32_t* values;
    int32_t* present;  // the entry's own index where the value exists, else -1
};

class COutline {
public:
    // Makes the object's attribute list, reused by every attribute load.
    COutline();
    // Destroys the attribute list and frees a loaded section. The outline is not closed here:
    // the driver that opened it closes it.
    virtual ~COutline();
    COutline(const COutline&) = delete;
    COutline& operator=(const COutline&) = delete;

    // ---- The outline -----------------------------------------------------------------------

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

    // ---- The section -----------------------------------------------------------------------

    // Loads the children of parent (none: an empty section), keyed under prefix, with the
    // contents that the option word (the run's, DIF_OPT_...) asks for. Skipped children take no
    // position; ignored ones (types 176, 177, 178, 220, 302, and 402 under RDFC) keep theirs with
    // status 'I'. Past 999 items, RDFC cuts the section with warning W005 and RDFA fails it.
    // Answers false when the section failed: at the RDFA limit, or when memory ran out
    // (OutOfMemory() then tells; the warning box has been shown). Call FreeItemArrays before every
    // load.
    bool LoadSection(const WCHAR* prefix, ItemHandle parent, uint32_t options);
    // True when the last LoadSection failed for lack of memory.
    bool OutOfMemory() const { return outOfMemory_; }

    // Grows every per-item array by kItemArrayStep entries; the attribute, property and
    // DTDATA arrays only where options asks for them (else they are absent). False when the
    // heap refused; the arrays keep their old capacity.
    virtual bool GrowItemArrays(uint32_t options);
    // Releases the section's keys, texts, contents and arrays; the object is then empty.
    virtual void FreeItemArrays();
    // Forgets every array without releasing it; count, capacity and candidateCount become 0.
    virtual void ResetItemArrays();
    // Fills entry index for item of type: key, status, text, item, no match. False when a key
    // or text could not be allocated (the entry then holds none in their place).
    virtual bool StoreItem(int32_t index, int32_t prefixLength, const WCHAR* prefix,
                           ItemHandle item, int32_t type);

    // The loaded section, one entry per item, read and written by the engines by index.
    int32_t count = 0;
    int32_t capacity = 0;
    int32_t candidateCount = 0;
    WCHAR** keys = nullptr;  // ItemKey of each item, from the checked heap
    ItemHandle* items = nullptr;
    WCHAR* status = nullptr;   // status letters
    int32_t* match = nullptr;  // partner index in the other outline's section, or kNoMatch
    int32_t* types = nullptr;  // type code, or kIgnoredType
    WCHAR** texts = nullptr;   // stored text; empty for an ignored item
    AttributeSet* attributes = nullptr;  // present under DIF_OPT_ATTRIBUTES
    PropertySet* properties = nullptr;   // present under DIF_OPT_PROPERTIES
    DTDataSet* dtdata = nullptr;         // present under DIF_OPT_DTDATA
    int32_t* candidates = nullptr;       // scratch list of item indexes, filled by the engines
    int32_t* positions = nullptr;        // running positions, filled by the engines

private:
    bool LoadAttributes(ItemHandle item, AttributeSet& set);
    bool LoadProperties(ItemHandle item, PropertySet& set);
    bool LoadDTData(ItemHandle item, DTDataSet& set);
    void ShowSectionLimitWarning(ItemHandle parent);

    OutlineHandle outline_ = 0;
    ListHandle attributeList_ = 0;
    CWideString label_;
    bool outOfMemory_ = false;
};

// The original of a three-way merge, paired with two versions at once: it keeps a second set
// of status and match arrays, for version 2, beside the first set (status and match), which
// records the pairing with version 1. Right after an item is stored both sets agree.
class CBaseOutline : public COutline {
public:
    CBaseOutline() = default;
    ~CBaseOutline() override;

    bool GrowItemArrays(uint32_t options) override;
    void FreeItemArrays() override;
    void ResetItemArrays() override;
    bool StoreItem(int32_t index, int32_t prefixLength, const WCHAR* prefix, ItemHandle item,
                   int32_t type) override;

    // The pairing with version (1 or 2).
    WCHAR* StatusFor(int version) { return version == 1 ? status : secondStatus; }
    int32_t* MatchFor(int version) { return version == 1 ? match : secondMatch; }

    WCHAR* secondStatus = nullptr;
    int32_t* secondMatch = nullptr;
};

// The first and the second outline of a comparison; the apply patches the second.
// Loads the children of item into side for a walk of the running call, keys made from key,
// with the call's options. A load that runs out of memory stops the walk (MarkOutOfMemory); a
// section past the limit under the "RDFA" kind stops it with DIF_ST_SECTION_LIMIT. Either way
// the side holds what was loaded.
void LoadSide(COutline& side, const WCHAR* key, ItemHandle item);

extern COutline g_firstOutline;
extern COutline g_secondOutline;
// The merge's original (which receives the merged result) and its two versions.
extern CBaseOutline g_baseOutline;
extern COutline g_version1Outline;
extern COutline g_version2Outline;

// Makes the drive and the folder of path current, where path names them.
void ChangeToFileFolder(const WCHAR* path);
