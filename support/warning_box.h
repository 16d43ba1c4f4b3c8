// support/warning_box.h
//
// The library's string resources and its warning box. Texts come from the string module
// "Norvex51" (resources/string_table.h); when it is not loaded, every text reads as empty and
// the work goes on.
#pragma once

#include "platform/platform.h"

// Room for a resource text: at most 254 characters and the terminator.
constexpr int kResourceBufferSize = 255;

// Loads resource id into buffer (at least kResourceBufferSize characters) and answers buffer,
// or a shared empty text when nothing could be loaded (buffer then holds nothing reliable).
const WCHAR* LoadResString(WCHAR* buffer, UINT id);

// Shows resource id in a message box without owner and with an OK button only, and answers the
// box's answer. The warning is the box's title; its text is "Corvane -  Information"
// (resource 7, loaded on the first warning and kept for the life of the library).
int ShowWarning(UINT id);
