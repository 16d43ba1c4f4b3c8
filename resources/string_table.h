// resources/string_table.h
//
// Identifiers of the library's string resources, and the string module "Norvex51" that holds
// them. Code loads the texts by identifier (support/warning_box.h, support/wide_string.h) so
// that a missing module is handled like a missing resource everywhere.
#pragma once

#include "platform/platform.h"

// Name of the module that holds the strings; kept apart from the library's own name so that a
// host can supply its texts in a module of their own.
#define NORVEX_STRING_MODULE WIDE("Norvex51")

enum StringId : UINT {
#define NORVEX_STRING(id, name, text) name = id,
#include "resources/string_texts.inc"
#undef NORVEX_STRING
};

// Number of texts in the table: identifiers run from 1 to kStringCount.
constexpr int kStringCount = 32;

#ifndef _WIN32
// The library registers its table under NORVEX_STRING_MODULE when it is loaded. Tests take it
// away to reach the paths where no text can be loaded, and put it back afterwards.
void RegisterLibraryStrings();
void UnregisterLibraryStrings();
#endif
