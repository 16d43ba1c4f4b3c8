// cli/word_diff.cpp: the word by word comparison of two texts.
#include "cli/word_diff.h"

#include <algorithm>
#include <cstdint>

namespace {

bool IsWordByte(unsigned char code) {
    return (code >= '0' && code <= '9') || (code >= 'A' && code <= 'Z') ||
           (code >= 'a' && code <= 'z') || code == '_' || code >= 0x80;
}

enum class Piece { kKept, kRemoved, kAdded };

// Appends words[from, to) to runs, joined to the last run when it is of the same kind.
void AppendWords(std::vector<WordRun>& runs, const std::vector<std::string>& words, size_t from,
                 size_t to, bool changed) {
    if (from == to) return;
    if (runs.empty() || runs.back().changed != changed) runs.push_back({changed, std::string()});
    for (size_t k = from; k < to; ++k) runs.back().text += words[k];
}

}  // namespace

std::vector<std::string> SplitWords(const std::string& text) {
    std::vector<std::string> words;
    size_t k = 0;
    while (k < text.size()) {
        size_t end = k + 1;
        if (IsWordByte(static_cast<unsigned char>(text[k]))) {
            while (end < text.size() && IsWordByte(static_cast<unsigned char>(text[end]))) ++end;
        }
        words.push_back(text.substr(k, end - k));
        k = end;
    }
    return words;
}

WordRuns CompareWords(const std::string& oldText, const std::string& newText) {
    std::vector<std::string> oldWords = SplitWords(oldText), newWords = SplitWords(newText);
    // The common beginning and end are set aside first: only the middle needs the table, so
    // a long text with one change costs no more than its changed words.
    size_t head = 0;
    while (head < oldWords.size() && head < newWords.size() && oldWords[head] == newWords[head]) {
        ++head;
    }
    size_t tail = 0;
    while (tail < oldWords.size() - head && tail < newWords.size() - head &&
           oldWords[oldWords.size() - 1 - tail] == newWords[newWords.size() - 1 - tail]) {
        ++tail;
    }
    size_t oldCount = oldWords.size() - head - tail, newCount = newWords.size() - head - tail;

    // The pieces of the middle in order: from a table of the longest common subsequence of
    // every pair of suffixes, or all removed then all added when the table would be too large.
    std::vector<Piece> pieces;
    if (oldCount > 0 && newCount > 0 && (oldCount + 1) * (newCount + 1) <= kLargestWordTable) {
        size_t width = newCount + 1;
        std::vector<uint32_t> common((oldCount + 1) * width, 0);
        for (size_t i = oldCount; i-- > 0;) {
            for (size_t j = newCount; j-- > 0;) {
                common[i * width + j] =
                    oldWords[head + i] == newWords[head + j]
                        ? common[(i + 1) * width + j + 1] + 1
                        : std::max(common[(i + 1) * width + j], common[i * width + j + 1]);
            }
        }
        size_t i = 0, j = 0;
        while (i < oldCount || j < newCount) {
            if (i < oldCount && j < newCount && oldWords[head + i] == newWords[head + j]) {
                pieces.push_back(Piece::kKept);
                ++i;
                ++j;
            } else if (j == newCount ||
                       (i < oldCount && common[(i + 1) * width + j] >= common[i * width + j + 1])) {
                // On a tie the removal comes first, so that a replaced word reads old then new.
                pieces.push_back(Piece::kRemoved);
                ++i;
            } else {
                pieces.push_back(Piece::kAdded);
                ++j;
            }
        }
    } else {
        pieces.assign(oldCount, Piece::kRemoved);
        pieces.insert(pieces.end(), newCount, Piece::kAdded);
    }

    // Each side's runs: kept words plain, its own changes marked, the other side's left out.
    WordRuns runs;
    AppendWords(runs.oldRuns, oldWords, 0, head, false);
    AppendWords(runs.newRuns, newWords, 0, head, false);
    size_t i = head, j = head;
    for (size_t k = 0; k < pieces.size();) {
        size_t run = k;
        while (run < pieces.size() && pieces[run] == pieces[k]) ++run;
        size_t length = run - k;
        if (pieces[k] == Piece::kKept) {
            AppendWords(runs.oldRuns, oldWords, i, i + length, false);
            AppendWords(runs.newRuns, newWords, j, j + length, false);
            i += length;
            j += length;
        } else if (pieces[k] == Piece::kRemoved) {
            AppendWords(runs.oldRuns, oldWords, i, i + length, true);
            i += length;
        } else {
            AppendWords(runs.newRuns, newWords, j, j + length, true);
            j += length;
        }
        k = run;
    }
    AppendWords(runs.oldRuns, oldWords, i, oldWords.size(), false);
    AppendWords(runs.newRuns, newWords, j, newWords.size(), false);
    return runs;
}
