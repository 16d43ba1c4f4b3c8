// cli/html_page.h
//
// The pieces of the command's HTML reports that know nothing of outlines: escaping of texts,
// the word by word comparison of two texts, the folding tree of rows, and the page itself (one
// file with its styles and script inline, a Content-Security-Policy that lets only those run)
// written beside its path and renamed into place.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "cli/word_diff.h"

// A text as HTML character data or attribute value: &, <, >, " and ' become references, and
// every control character but TAB and LF shows as \uXXXX, so that no text of an outline can
// open an element, end an attribute or vanish.
std::string EscapeHtml(const std::string& text);

// The two texts of a changed item, each as escaped HTML: the old text with the words that the
// new one lacks in <del>, the new text with the words it adds in <ins> (CompareWords).
struct WordDiff {
    std::string oldHtml;
    std::string newHtml;
};
WordDiff DiffWords(const std::string& oldText, const std::string& newText);

// One row of a report's tree, in the tree's pre-order. A row with children is a <details>
// element whose <summary> is the row (open when open is set), and the rows that follow it one
// level deeper are its children; a row without children is a plain block.
struct PageRow {
    int depth = 0;
    bool hasChildren = false;
    bool open = false;
    bool stop = false;        // a place that the next and previous keys move to
    std::string classes;      // the row's kind, as class names
    std::string id;           // an anchor for the lists at the top; empty: none
    std::string contentHtml;  // the row's cells, already escaped
};

// Builds the nested elements from the rows as they come: no recursion, so a chain of ten
// thousand levels costs what ten thousand siblings do.
class PageTree {
public:
    // Rows must come in pre-order: a row is at most one level deeper than the one before it,
    // and only when that one has children.
    void Add(const PageRow& row);
    // The HTML of the whole tree, every element closed. The tree is empty afterwards.
    std::string Finish();
    size_t RowCount() const { return rowCount_; }

private:
    std::string html_;
    std::vector<int> openDepths_;
    size_t rowCount_ = 0;
};

// The whole page: a head with the title, the inline style and script, and a policy that allows
// nothing else (no network, no other script, no inline event handlers), then body as given.
std::string AssemblePage(const std::string& title, const std::string& bodyHtml);
// The base64 SHA-256 digest of text, as a Content-Security-Policy names an inline element.
std::string ContentDigest(const std::string& text);

// Writes bytes to a temporary of its own beside path and renames it over path (the platform's
// replacement file), so that path holds either its old contents or one whole page, with the
// mode it had; a symbolic link at path stays, and the file it names is replaced. Answers false
// with a reason in *error (and leaves nothing beside path) when that fails, or when path names
// something other than a plain file.
bool WritePageFile(const std::string& path, const std::string& bytes, std::string* error);
