// support/text_lines.h
//
// The line count of a text: what compare file records carry and what the outline runtime's
// text setters are given along with a text.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// 0 for an absent text; otherwise 1 plus the number of LF characters (1 for the empty text).
int32_t CountLines(const WCHAR* text);
