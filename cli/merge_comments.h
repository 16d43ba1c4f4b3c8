// cli/merge_comments.h
//
// The comments that a merge writes into the merged outline, read back from their texts: the
// conflict banner at the end of an item's text ("#### DIFF: Conflict N ... ####", a "near here"
// marker without a number) and the warning comment item ("#### DIFF: Warning N ... ####"). The
// one reader for the command's list of conflicts, the merge page and their tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/platform.h"

// The type of the comment items that a merge adds: every warning, and a conflict banner that
// could not be appended to its item's text (a read-only item). The library's merge writes it;
// the command sees it only in the merged outline, so it names the number again here.
constexpr int32_t kCommentItemType = 188;

// The item types that the comparison always passes over (the library keeps the same list):
// the diff page shows such items, marked as not compared, and pairs only the others.
constexpr int32_t kIgnoredItemTypes[] = {176, 177, 178, 220, 302};
// Passed over too by a build for viewing (DIF_OPT_RDFC), whose compare file has no texts.
constexpr int32_t kViewOnlyIgnoredItemType = 402;

// Whether a comparison with the option word optionWord passes over items of type.
bool IsIgnoredItemType(int32_t type, uint32_t optionWord);

// Whether an item's stored text holds "#### DIFF: " once its CRs are passed over, as the
// item's one-line text drops them; every mark that ReadMergeComment reads begins so.
bool HoldsMergeMark(const WCHAR* text, size_t length);

// One comment as its text reads. Where the command's list and the merge page have always read
// a text differently, both readings are here, so that each prints what it printed before.
struct MergeComment {
    bool conflict = false;  // a conflict banner or marker; false: a warning
    std::string number;     // its digits as written ("1", "007"); empty for a marker
    // What stands before the banner, without the " ! " that leads a conflict banner: the
    // item's own text; empty for a comment item.
    std::string ownText;
    std::string banner;  // the rest of the text, from that " ! " or the "####"
    // What the banner says after its number and one blank, up to the last " ####" of the text,
    // a marker's leading "- " dropped: "(C001) - Incompatible changes to item text - Copied
    // from version 1 [a.outline]".
    std::string message;
    // The copy that a conflict comment stands for, read from message: 0 the partially merged
    // original, 1 or 2 a version, -1 none named. deleted: that version deleted the item.
    // sourceLabel: what follows "Copied from " or "Deleted from " ("version 1 [a.outline]").
    int source = -1;
    bool deleted = false;
    std::string sourceLabel;
    // The command's list reads more narrowly. Its message ends at the first " ####" after the
    // mark, so a description or a label that holds " ####" is cut there. Its own text is what
    // stands before the first " ! ####" of the text; none when the text has no such lead.
    std::string listedMessage;
    std::optional<std::string> listedOwnText;
};

// Reads the comment in text: at its first "#### DIFF: Conflict ", or at its first
// "#### DIFF: Warning " when it holds no conflict mark. Answers false when it holds neither;
// *comment is then unspecified.
bool ReadMergeComment(const std::string& text, MergeComment* comment);

// "(C001) - Incompatible changes to item text - Copied from version 1 [a]" reads "(C001)
// Incompatible changes to item text": the code and what happened, not which copy. A message
// without " - " is answered as it is.
std::string SummarizeMergeMessage(const std::string& message);
