// runtime/item_type_names.h
//
// The display names that GetItemTypeName answers: a short table for the common item types,
// and "Type N" for every other code. The merge also names attribute ids with it, so a name
// must read well on its own and before a text.
#pragma once

#include <cstdint>

#include "runtime/utf_codec.h"

namespace brimrt {

// The display name of the type code (never empty).
WideText NameItemType(int32_t type);

}  // namespace brimrt
