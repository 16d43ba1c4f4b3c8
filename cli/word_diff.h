// cli/word_diff.h
//
// Two texts compared word by word, for the reports that mark what changed inside a changed
// text: the HTML pages (<del> and <ins>) and the terminal (colours, or [-...-] and {+...+}). A
// word is a run of letters, digits, '_' and non-ASCII characters; every other character, blank
// or sign, is a word of its own, so "Level:Fatal." and "Level:Benign." differ in one word.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// A piece of one text: words kept by the other text, or changed (removed from the old text,
// added in the new one). Runs alternate; joined, a side's runs give its text again.
struct WordRun {
    bool changed;
    std::string text;
};

struct WordRuns {
    std::vector<WordRun> oldRuns;
    std::vector<WordRun> newRuns;
};

// Words kept are a longest common subsequence of the two texts' words (after their common
// beginning and end are set aside). Past kLargestWordTable cells the middle is shown as removed
// and added whole: two texts of a thousand words each still compare word by word.
constexpr size_t kLargestWordTable = 1000 * 1000;
WordRuns CompareWords(const std::string& oldText, const std::string& newText);
// The words of text as CompareWords sees them; joined, they give text again.
std::vector<std::string> SplitWords(const std::string& text);
