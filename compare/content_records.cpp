// compare/content_records.cpp: attribute, property and DTDATA records.
#include "compare/content_records.h"

#include "compare/record_output.h"
#include "include/norvex63.h"
#include "support/run_state.h"
#include "support/checked_memory.h"
#include "support/item_key.h"

namespace {

// Room for a DTDATA value in decimal.
constexpr int kValueTextSize = 20;

// An absent set reads as empty.
const AttributeSet kNoAttributes = {0, nullptr, nullptr, 0};
const PropertySet kNoProperties = {0, nullptr, nullptr};
const DTDataSet kNoDTData = {0, nullptr, nullptr};

const AttributeSet& AttributesOf(const COutline& side, int32_t index) {
    return side.attributes != nullptr ? side.attributes[index] : kNoAttributes;
}
const PropertySet& PropertiesOf(const COutline& side, int32_t index) {
    return side.properties != nullptr ? side.properties[index] : kNoProperties;
}
const DTDataSet& DTDataOf(const COutline& side, int32_t index) {
    return side.dtdata != nullptr ? side.dtdata[index] : kNoDTData;
}

// The key of an entry of an item without partner: the second section's key and "001".
class PartnerlessKey {
public:
    explicit PartnerlessKey(const WCHAR* secondKey) : key_(MakeKey(secondKey, 1)) {}
    ~PartnerlessKey() {
        if (key_ != nullptr) CheckedFree(key_);
    }
    PartnerlessKey(const PartnerlessKey&) = delete;
    PartnerlessKey& operator=(const PartnerlessKey&) = delete;
    const WCHAR* Text() const { return key_; }

private:
    WCHAR* key_;
};

// Items without partner get X records, but not under RDFC.
bool SkipsPartnerless() { return (g_runState.options & DIF_OPT_RDFC) != 0; }

}  // namespace

int32_t FindAttribute(const AttributeSet& own, const AttributeSet& other, int32_t k,
                      int32_t* differs) {
    int32_t found = -1;
    if (k != -1 && k < own.count && own.ids[k] == other.ids[k]) {
        found = k;
    } else {
        for (int32_t r = 0; r < own.count && found == -1; ++r) {
            if (own.ids[r] == other.ids[k]) found = r;
        }
    }
    if (found != -1) *differs = lstrcmpW(own.values[found], other.values[k]) != 0 ? 1 : 0;
    return found;
}

int32_t FindProperty(const PropertySet& own, const PropertySet& other, int32_t k,
                     int32_t* differs) {
    int32_t found = -1;
    if (k != -1 && k < own.count && lstrcmpW(own.names[k], other.names[k]) == 0) {
        found = k;
    } else {
        for (int32_t r = 0; r < own.count && found == -1; ++r) {
            if (lstrcmpW(own.names[r], other.names[k]) == 0) found = r;
        }
    }
    if (found != -1) *differs = lstrcmpW(own.values[found], other.values[k]) != 0 ? 1 : 0;
    return found;
}

int32_t FindDTData(const DTDataSet& own, const DTDataSet& other, int32_t k, int32_t* differs) {
    if (k == -1 || k >= own.count || own.present[k] != other.present[k] || own.present[k] == -1) {
        return -1;
    }
    if (differs != nullptr) *differs = own.values[k] != other.values[k] ? 1 : 0;
    return k;
}

void WriteAttributeRecords(const COutline& first, const COutline& second,
                           const WCHAR* secondKey) {
    for (int32_t i = 0; i < first.count; ++i) {
        const AttributeSet& set = AttributesOf(first, i);
        if (set.count == 0) continue;
        int32_t m = first.match[i];
        if (m == kNoMatch) {
            if (SkipsPartnerless()) continue;
            PartnerlessKey key(secondKey);
            for (int32_t k = 0; k < set.count; ++k) {
                EmitRecord(u'X', u'A', first.keys[i], key.Text(),
                           static_cast<int32_t>(set.ids[k]), -1, set.values[k]);
            }
            continue;
        }
        // Attributes that only one side has give no record.
        const AttributeSet& partnerSet = AttributesOf(second, m);
        for (int32_t k = 0; k < set.count; ++k) {
            int32_t differs = 0;
            int32_t r = FindAttribute(partnerSet, set, k, &differs);
            if (r != -1 && differs == 1) {
                EmitRecord(u'C', u'A', first.keys[i], second.keys[m],
                           static_cast<int32_t>(set.ids[k]), r, set.values[k]);
            }
        }
    }
}

void WritePropertyRecords(const COutline& first, const COutline& second,
                          const WCHAR* secondKey) {
    for (int32_t i = 0; i < first.count; ++i) {
        // A first-side item without properties gives no record, whatever its partner holds.
        const PropertySet& set = PropertiesOf(first, i);
        if (set.count == 0) continue;
        int32_t m = first.match[i];
        if (m == kNoMatch) {
            if (SkipsPartnerless()) continue;
            PartnerlessKey key(secondKey);
            for (int32_t k = 0; k < set.count; ++k) {
                EmitRecordJoined(u'X', u'P', first.keys[i], key.Text(), k, k, set.names[k],
                                 set.values[k]);
            }
            continue;
        }
        // 1. Added and changed properties, in the first set's order.
        const PropertySet& partnerSet = PropertiesOf(second, m);
        for (int32_t k = 0; k < set.count; ++k) {
            int32_t differs = 0;
            int32_t r = FindProperty(partnerSet, set, k, &differs);
            if (r == -1) {
                EmitRecordJoined(u'A', u'P', first.keys[i], second.keys[m], k, k, set.names[k],
                                 set.values[k]);
            } else if (differs == 1) {
                EmitRecordJoined(u'C', u'P', first.keys[i], second.keys[m], r, r, set.names[k],
                                 set.values[k]);
            }
        }
        // 2. Deleted properties, in the second set's order.
        for (int32_t k = 0; k < partnerSet.count; ++k) {
            int32_t differs = 0;
            if (FindProperty(set, partnerSet, k, &differs) == -1) {
                EmitRecordJoined(u'D', u'P', first.keys[i], second.keys[m], k, k,
                                 partnerSet.names[k], partnerSet.values[k]);
            }
        }
    }
}

void WriteDTDataRecords(const COutline& first, const COutline& second, const WCHAR* secondKey) {
    for (int32_t i = 0; i < first.count; ++i) {
        const DTDataSet& set = DTDataOf(first, i);
        if (set.count == 0) continue;
        int32_t m = first.match[i];
        WCHAR valueText[kValueTextSize];
        if (m == kNoMatch) {
            if (SkipsPartnerless()) continue;
            PartnerlessKey key(secondKey);
            for (int32_t k = 0; k < set.count; ++k) {
                if (set.present[k] == -1) continue;
                wsprintfW(valueText, WIDE("%ld"), set.values[k]);
                EmitRecord(u'X', u'D', first.keys[i], key.Text(), set.present[k], -1, valueText);
            }
            continue;
        }
        // A value that only one side has gives no record.
        const DTDataSet& partnerSet = DTDataOf(second, m);
        for (int32_t k = 0; k < set.count; ++k) {
            int32_t differs = 0;
            int32_t r = FindDTData(partnerSet, set, k, &differs);
            if (r != -1 && differs == 1) {
                wsprintfW(valueText, WIDE("%ld"), set.values[k]);
                EmitRecord(u'C', u'D', first.keys[i], second.keys[m], set.present[k], r,
                           valueText);
            }
        }
    }
}
