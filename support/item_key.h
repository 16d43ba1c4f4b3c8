// support/item_key.h
//
// Item keys name an item across outlines and files: the parent's key followed by the item's
// 1-based position among the parent's non-skipped children, at least three digits.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// The top item's key, and the prefix of the top section on both sides of a comparison.
#define ROOT_ITEM_KEY WIDE("001")

// Characters of one group of a key: one level's ordinal, zero-padded to three digits.
constexpr int kKeyGroupLength = 3;

// A new text of prefix followed by number with at least three digits, zero-padded ("001" and
// 7 give "001007"; 1000 gives "0011000"). Released by the caller with CheckedFree. None when
// the checked allocation refuses (its warning box has been shown).
WCHAR* MakeKey(const WCHAR* prefix, int32_t number);

// The ordinal a key gives its own item: the number its last kKeyGroupLength characters form,
// read as _wtoi reads (digits up to the first other character). 0 for a key shorter than one
// group, or none. A section's 1000th and later items have longer ordinals, which this rule
// cannot take apart: keys stop naming items reliably past 999 in a section.
int32_t KeyOrdinal(const WCHAR* key);
