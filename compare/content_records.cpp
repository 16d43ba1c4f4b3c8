// compare/content_records.cpp: attribute, property and DTDATA records.
#include "compare/content_records.h"

#include "compare/record_output.h"
#include "comparefile/compare_record.h"
#include "include/norvex63.h"
#include "support/checked_memory.h"
#include "support/item_key.h"
#include "support/run_state.h"

int32_t FindAttribute(const AttributeSet& own, const AttributeSet& other, int32_t k,
                      int32_t* differs) {
    int32_t found = -1;
    if (k != -1 && k < own.count && own.ids[k] == other.ids[k]) {
        found = k;
    } else {
        for (int32_t entry = 0; entry < own.count && found == -1; ++entry) {
            if (own.ids[entry] == other.ids[k]) found = entry;
        }
    }
    if (found != -1 && differs != nullptr) {
        *differs = lstrcmpW(own.values[found], other.values[k]) != 0 ? 1 : 0;
    }
    return found;
}

int32_t FindProperty(const PropertySet& own, const PropertySet& other, int32_t k,
                     int32_t* differs) {
    int32_t found = -1;
    if (k != -1 && k < own.count && lstrcmpW(own.names[k], other.names[k]) == 0) {
        found = k;
    } else {
        for (int32_t entry = 0; entry < own.count && found == -1; ++entry) {
            if (lstrcmpW(own.names[entry], other.names[k]) == 0) found = entry;
        }
    }
    if (found != -1 && differs != nullptr) {
        *differs = lstrcmpW(own.values[found], other.values[k]) != 0 ? 1 : 0;
    }
    return found;
}

int32_t FindDTData(const DTDataSet& own, const DTDataSet& other, int32_t k, int32_t* differs) {
    if (k == -1 || k >= own.count || own.present[k] != other.present[k] || own.present[k] == -1) {
        return -1;
    }
    if (differs != nullptr) *differs = own.values[k] != other.values[k] ? 1 : 0;
    return k;
}

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

// Items without partner get X records, but not under RDFC.
bool SkipsPartnerless() { return (g_runState.options & DIF_OPT_RDFC) != 0; }

// Walks the first section in index order and hands each item that holds entries of one kind
// to the writer of its case: an item without partner to writePartnerless, with the made-up key
// of its entries' records (no call under RDFC, which writes no X records), and a paired item
// to writePaired, with its partner's index. The key is made once per item, before its entries
// are looked at, whether or not one of them is written.
template <typename EntrySet, typename WritePartnerless, typename WritePaired>
void WalkItemsWithEntries(const COutline& first, const WCHAR* secondKey,
                          const EntrySet& (*entriesOf)(const COutline&, int32_t),
                          WritePartnerless writePartnerless, WritePaired writePaired) {
    for (int32_t i = 0; i < first.count; ++i) {
        const EntrySet& set = entriesOf(first, i);
        if (set.count == 0) continue;
        int32_t j = first.match[i];
        if (j != kNoMatch) {
            writePaired(i, set, j);
        } else if (!SkipsPartnerless()) {
            OwnedText key(MakeKey(secondKey, kPartnerlessOrdinal));
            writePartnerless(i, set, key.Get());
        }
    }
}

}  // namespace

void WriteAttributeRecords(const COutline& first, const COutline& second, const WCHAR* secondKey) {
    WalkItemsWithEntries(
        first, secondKey, AttributesOf,
        [&](int32_t i, const AttributeSet& set, const WCHAR* partnerlessKey) {
            for (int32_t k = 0; k < set.count; ++k) {
                EmitRecord(kChangeAddedWithin, kSubjectAttribute, first.keys[i], partnerlessKey,
                           static_cast<int32_t>(set.ids[k]), -1, set.values[k]);
            }
        },
        [&](int32_t i, const AttributeSet& set, int32_t j) {
            // Attributes that only one side has give no record.
            const AttributeSet& partnerSet = AttributesOf(second, j);
            for (int32_t k = 0; k < set.count; ++k) {
                int32_t differs = 0;
                int32_t partnerEntry = FindAttribute(partnerSet, set, k, &differs);
                if (partnerEntry != -1 && differs == 1) {
                    EmitRecord(kChangeChanged, kSubjectAttribute, first.keys[i], second.keys[j],
                               static_cast<int32_t>(set.ids[k]), partnerEntry, set.values[k]);
                }
            }
        });
}

void WritePropertyRecords(const COutline& first, const COutline& second, const WCHAR* secondKey) {
    // A first-side item without properties gives no record, whatever its partner holds.
    WalkItemsWithEntries(
        first, secondKey, PropertiesOf,
        [&](int32_t i, const PropertySet& set, const WCHAR* partnerlessKey) {
            for (int32_t k = 0; k < set.count; ++k) {
                EmitRecordJoined(kChangeAddedWithin, kSubjectProperty, first.keys[i],
                                 partnerlessKey, k, k, set.names[k], set.values[k]);
            }
        },
        [&](int32_t i, const PropertySet& set, int32_t j) {
            // Added and changed properties first, in the first set's order.
            const PropertySet& partnerSet = PropertiesOf(second, j);
            for (int32_t k = 0; k < set.count; ++k) {
                int32_t differs = 0;
                int32_t partnerEntry = FindProperty(partnerSet, set, k, &differs);
                if (partnerEntry == -1) {
                    EmitRecordJoined(kChangeAdded, kSubjectProperty, first.keys[i], second.keys[j],
                                     k, k, set.names[k], set.values[k]);
                } else if (differs == 1) {
                    EmitRecordJoined(kChangeChanged, kSubjectProperty, first.keys[i],
                                     second.keys[j], partnerEntry, partnerEntry, set.names[k],
                                     set.values[k]);
                }
            }
            // Then deleted properties, in the second set's order.
            for (int32_t k = 0; k < partnerSet.count; ++k) {
                if (FindProperty(set, partnerSet, k, nullptr) == -1) {
                    EmitRecordJoined(kChangeDeleted, kSubjectProperty, first.keys[i],
                                     second.keys[j], k, k, partnerSet.names[k],
                                     partnerSet.values[k]);
                }
            }
        });
}

void WriteDTDataRecords(const COutline& first, const COutline& second, const WCHAR* secondKey) {
    WalkItemsWithEntries(
        first, secondKey, DTDataOf,
        [&](int32_t i, const DTDataSet& set, const WCHAR* partnerlessKey) {
            WCHAR valueText[kValueTextSize];
            for (int32_t k = 0; k < set.count; ++k) {
                if (set.present[k] == -1) continue;
                wsprintfW(valueText, WIDE("%ld"), set.values[k]);
                EmitRecord(kChangeAddedWithin, kSubjectDTData, first.keys[i], partnerlessKey,
                           set.present[k], -1, valueText);
            }
        },
        [&](int32_t i, const DTDataSet& set, int32_t j) {
            // A value that only one side has gives no record.
            const DTDataSet& partnerSet = DTDataOf(second, j);
            WCHAR valueText[kValueTextSize];
            for (int32_t k = 0; k < set.count; ++k) {
                int32_t differs = 0;
                int32_t partnerEntry = FindDTData(partnerSet, set, k, &differs);
                if (partnerEntry != -1 && differs == 1) {
                    wsprintfW(valueText, WIDE("%ld"), set.values[k]);
                    EmitRecord(kChangeChanged, kSubjectDTData, first.keys[i], second.keys[j],
                               set.present[k], partnerEntry, valueText);
                }
            }
        });
}
