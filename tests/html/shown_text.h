// tests/html/shown_text.h
//
// What a browser would show of a piece of a page: its tags removed and the five character
// references read back, so that a test can compare it with an outline's text.
#pragma once

#include <string>
#include <utility>

inline std::string ShownText(const std::string& html) {
    std::string text;
    bool inTag = false;
    for (char letter : html) {
        if (letter == '<') inTag = true;
        if (!inTag) text.push_back(letter);
        if (letter == '>') inTag = false;
    }
    const std::pair<std::string, std::string> references[] = {
        {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&#39;", "'"}, {"&amp;", "&"}};
    for (const auto& reference : references) {
        for (size_t at = text.find(reference.first); at != std::string::npos;
             at = text.find(reference.first, at + 1)) {
            text.replace(at, reference.first.size(), reference.second);
        }
    }
    return text;
}
