// compare/content_records.h
//
// Records of the contents of paired items: customizer attributes (subject A), named
// properties (P) and DTDATA values (D). Each writer walks the first section in order; an item
// without partner gives one X record per entry (none under RDFC), a paired item the
// differences that its kind reports.
#pragma once

#include <cstdint>

#include "outline/outline_object.h"
#include "platform/platform.h"

// Where an entry of other (entry k) stands in this side's set, or -1; *differs becomes 1 when
// the two values differ, 0 when they are equal (left alone when -1 is answered, or when
// differs is none, for a caller that asks only where the entry stands).
// Attributes are found by id: at the same index first, else the first with that id.
int32_t FindAttribute(const AttributeSet& own, const AttributeSet& other, int32_t k,
                      int32_t* differs);
// Properties are found by name: at the same index first, else the first with that name.
int32_t FindProperty(const PropertySet& own, const PropertySet& other, int32_t k, int32_t* differs);
// DTDATA values are compared slot by slot only.
int32_t FindDTData(const DTDataSet& own, const DTDataSet& other, int32_t k, int32_t* differs);

// The writers, called in this order after the item records of a section. secondKey is the key
// the second section was loaded under.
void WriteAttributeRecords(const COutline& first, const COutline& second, const WCHAR* secondKey);
void WritePropertyRecords(const COutline& first, const COutline& second, const WCHAR* secondKey);
void WriteDTDataRecords(const COutline& first, const COutline& second, const WCHAR* secondKey);
