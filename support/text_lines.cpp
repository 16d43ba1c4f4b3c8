// support/text_lines.cpp: line counts of texts.
#include "support/text_lines.h"

int32_t CountLines(const WCHAR* text) {
    if (text == nullptr) return 0;
    int32_t lines = 1;
    for (; *text != 0; ++text) {
        if (*text == u'\n') ++lines;
    }
    return lines;
}
