// compare/item_records.h
//
// Turns the pairing of a section into its item records: changed texts (C T) and deletions
// (D T) in the order of the second section, then the runs of paired items whose order differs
// (M M), then additions (A T, X T) in the order of the first section.
#pragma once

#include <cstdint>

#include "outline/outline_object.h"
#include "platform/platform.h"

// Writes the item records of the loaded, paired sections; firstKey and secondKey are the
// keys they were loaded under.
void WriteItemRecords(const COutline& first, const COutline& second, const WCHAR* secondKey,
                      const WCHAR* firstKey);
