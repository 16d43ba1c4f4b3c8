// cli/merge_comments.cpp: reading the merge's conflict and warning comments back.
#include "cli/merge_comments.h"

#include <cstring>

#include "include/norvex63.h"

namespace {

const char kConflictMark[] = "#### DIFF: Conflict ";
const char kWarningMark[] = "#### DIFF: Warning ";
const char kBannerLead[] = " ! ";
const char kBannerEnd[] = " ####";
// The lead and the start of a banner together: the command's list cuts an item's text here.
const char kLeadAndBanner[] = " ! ####";

// text from start up to end (npos: to the end of the text).
std::string Between(const std::string& text, size_t start, size_t end) {
    return end == std::string::npos ? text.substr(start) : text.substr(start, end - start);
}

void DropMarkerDash(std::string* message) {
    if (message->rfind("- ", 0) == 0) message->erase(0, 2);
}

}  // namespace

bool HoldsMergeMark(const WCHAR* text, size_t length) {
    static const char kMark[] = "#### DIFF: ";
    const size_t markLength = sizeof kMark - 1;
    for (size_t start = 0; start < length; ++start) {
        if (text[start] != u'#') continue;
        size_t matched = 0;
        for (size_t at = start; at < length && matched < markLength; ++at) {
            if (text[at] == u'\r') continue;
            if (text[at] != static_cast<WCHAR>(kMark[matched])) break;
            ++matched;
        }
        if (matched == markLength) return true;
    }
    return false;
}

bool IsIgnoredItemType(int32_t type, uint32_t optionWord) {
    for (int32_t ignored : kIgnoredItemTypes) {
        if (type == ignored) return true;
    }
    return type == kViewOnlyIgnoredItemType && (optionWord & DIF_OPT_RDFC) != 0;
}

bool ReadMergeComment(const std::string& text, MergeComment* comment) {
    // A conflict mark wins over a warning mark that stands before it in the same text.
    size_t at = text.find(kConflictMark);
    comment->conflict = at != std::string::npos;
    if (!comment->conflict) at = text.find(kWarningMark);
    if (at == std::string::npos) return false;
    size_t start = at + std::strlen(comment->conflict ? kConflictMark : kWarningMark);

    size_t ownEnd = at;
    size_t lead = std::strlen(kBannerLead);
    if (comment->conflict && ownEnd >= lead &&
        text.compare(ownEnd - lead, lead, kBannerLead) == 0) {
        ownEnd -= lead;
    }
    comment->ownText = text.substr(0, ownEnd);
    comment->banner = text.substr(ownEnd);

    size_t digitsEnd = start;
    while (digitsEnd < text.size() && text[digitsEnd] >= '0' && text[digitsEnd] <= '9') {
        ++digitsEnd;
    }
    comment->number = text.substr(start, digitsEnd - start);
    size_t body = digitsEnd < text.size() && text[digitsEnd] == ' ' ? digitsEnd + 1 : digitsEnd;

    // The page ends the message at the text's last " ####"; when that stands before the body
    // (a banner without a message), the message is the rest of the text.
    size_t last = text.rfind(kBannerEnd);
    bool lastEnds = last != std::string::npos && last > body;
    comment->message = Between(text, body, lastEnds ? last : std::string::npos);
    DropMarkerDash(&comment->message);
    // The list ends it at the first " ####" after the mark; one that starts right after the
    // digits (a banner without a message) leaves it empty.
    size_t first = text.find(kBannerEnd, start);
    comment->listedMessage =
        first != std::string::npos && first < body ? std::string() : Between(text, body, first);
    DropMarkerDash(&comment->listedMessage);

    comment->source = -1;
    comment->deleted = false;
    comment->sourceLabel.clear();
    for (const char* how : {" - Copied from ", " - Deleted from "}) {
        size_t from = comment->message.find(how);
        if (from == std::string::npos) continue;
        comment->deleted = how[3] == 'D';
        comment->sourceLabel = comment->message.substr(from + std::strlen(how));
        if (comment->sourceLabel.rfind("version 1", 0) == 0) {
            comment->source = 1;
        } else if (comment->sourceLabel.rfind("version 2", 0) == 0) {
            comment->source = 2;
        } else if (comment->sourceLabel.rfind("partially merged original", 0) == 0) {
            comment->source = 0;
        }
        break;
    }

    size_t listedLead = text.find(kLeadAndBanner);
    comment->listedOwnText.reset();
    if (listedLead != std::string::npos) comment->listedOwnText = text.substr(0, listedLead);
    return true;
}

std::string SummarizeMergeMessage(const std::string& message) {
    size_t first = message.find(" - ");
    if (first == std::string::npos) return message;
    std::string rest = message.substr(first + 3);
    size_t second = rest.find(" - ");
    return message.substr(0, first) + " " +
           (second == std::string::npos ? rest : rest.substr(0, second));
}
