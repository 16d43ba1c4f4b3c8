// cli/show_command.cpp: norvex show, the viewer's queries over a compare file as a table.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/compare_file_check.h"
#include "cli/host.h"
#include "cli/outline_view.h"
#include "cli/terminal_text.h"
#include "include/norvex63.h"

namespace {

constexpr int kKeySize = 512;

void PrintHeading() {
    std::printf("%5s  %-6s  %-18s  %-18s  %8s  %5s\n", "pos", "record", "key 1", "key 2", "value",
                "other");
}

// One row: the record at position of side's order, and where it stands on the other side.
void PrintRow(int side, int32_t position) {
    DIF_CHAR firstKey[kKeySize] = {}, secondKey[kKeySize] = {}, change[2] = {}, subject[2] = {};
    int32_t value = 0;
    DIF_CompareGet(static_cast<uint16_t>(side), position, firstKey, secondKey, change, subject,
                   &value);
    int32_t other =
        DIF_GetMatchingIndex(static_cast<uint16_t>(side), static_cast<uint16_t>(position));
    std::printf("%5d  %-6s  %-18s  %-18s  %8d  %5d\n", position,
                (TerminalFromWide(change) + " " + TerminalFromWide(subject)).c_str(),
                TerminalFromWide(firstKey).c_str(), TerminalFromWide(secondKey).c_str(), value,
                other);
}

// Splits "A > \"b > c\"[2] > D" into its pieces as PathPiece writes them: at each " > " that
// stands outside quotes.
std::vector<std::string> SplitPath(const std::string& path) {
    std::vector<std::string> pieces(1);
    bool quoted = false;
    for (size_t k = 0; k < path.size(); ++k) {
        char letter = path[k];
        if (quoted && letter == '\\' && k + 1 < path.size()) {
            pieces.back() += path.substr(k, 2);
            ++k;
            continue;
        }
        if (letter == '"') quoted = !quoted;
        if (!quoted && path.compare(k, 3, " > ") == 0) {
            pieces.emplace_back();
            k += 2;
            continue;
        }
        pieces.back().push_back(letter);
    }
    return pieces;
}

// A file that the header names by its whole path, as a person reads it.
std::string Shown(const std::string& file) {
    return std::filesystem::path(file).filename().string();
}

// The key of the item that path (as diff prints it) names in the outline at file; empty with
// *error set when there is none.
std::string KeyOfPath(const std::string& file, const std::string& path, std::string* error) {
    OpenedOutline outline(file);
    if (!outline.IsOpen()) {
        *error = "an item path needs the comparison's outline, and " + outline.Error();
        return std::string();
    }
    PathNamer names(outline.Handle());
    std::vector<std::string> pieces = SplitPath(path);
    ItemHandle item = GetRootItem(outline.Handle());
    std::string key = "001";
    if (item == 0 || names.Path(item) != pieces[0]) {
        *error = "no item " + path + " in " + Shown(file) + " (its top item is " +
                 names.Path(item) + ")";
        return std::string();
    }
    for (size_t level = 1; level < pieces.size(); ++level) {
        // Keys count the children that are not skipped.
        int ordinal = 0;
        ItemHandle found = 0;
        for (ItemHandle child = GetFirstChild(outline.Handle(), item); child != 0 && found == 0;
             child = GetNextSibling(outline.Handle(), child)) {
            bool skipped = IsItemSkipped(outline.Handle(), child) != 0;
            if (!skipped) ++ordinal;
            std::string piece = names.Piece(child);
            if (piece == pieces[level]) found = skipped ? 0 : child;
            if (piece == pieces[level] && skipped) {
                *error = path + " is a skipped item, which the comparison does not see";
                return std::string();
            }
        }
        if (found == 0) {
            *error = "no item " + path + " in " + Shown(file);
            return std::string();
        }
        char digits[16];
        std::snprintf(digits, sizeof digits, "%03d", ordinal);
        key += digits;
        item = found;
    }
    return key;
}

}  // namespace

int RunShow(const ShowOptions& options) {
    CompareFileFacts facts;
    std::string problem = CheckCompareFile(options.comparePath, facts);
    if (!problem.empty()) return ReportTrouble(problem);
    uint16_t count = 0;
    int32_t loaded =
        DIF_CompareLoad(WideFromName(AbsolutePath(options.comparePath)).c_str(), &count);
    if (loaded == 0) return ReportTrouble("cannot read the compare file " + options.comparePath);
    // Every answer below covers only the records held: say so first, and let the exit status
    // say it again at the end of a listing.
    if (loaded == DIF_LOAD_PARTIAL) ReportTrouble(PartialListNote(count, options.comparePath));
    // Unsorted, both orders are the file's; the side only says whose keys a search reads.
    if (options.sort != "file") DIF_CompareSort();
    int side = options.sort == "second" ? 2 : options.side;
    if (!options.find.empty()) {
        if (options.sort == "file") {
            DIF_CompareUnload();
            return ReportTrouble("--find needs a sorted table (leave out --sort=file)");
        }
        // A path names the item in the outline of the side searched, which the header names.
        std::string find = options.find;
        if (find.find_first_not_of("0123456789") != std::string::npos) {
            std::string error;
            find = KeyOfPath(side == 1 ? facts.firstName : facts.secondName, options.find, &error);
            if (find.empty()) {
                DIF_CompareUnload();
                return ReportTrouble(error);
            }
        }
        WideText key = WideFromTerminal(find);
        int32_t position = options.partial
                               ? DIF_ComparePartialSearch(static_cast<uint16_t>(side), key.c_str())
                               : DIF_CompareSearch(static_cast<uint16_t>(side), key.c_str());
        if (position < 0 || position >= count) {
            std::printf("no record with key %d %s\n", side, options.find.c_str());
            DIF_CompareUnload();
            return kExitDifferent;
        }
        PrintHeading();
        PrintRow(side, position);
        DIF_CompareUnload();
        return kExitSame;
    }
    PrintHeading();
    for (int32_t position = 0; position < count; ++position) PrintRow(side, position);
    std::printf("%u records: %u changed, %u only in the first, %u only in the second, %u moved\n",
                static_cast<unsigned>(count),
                static_cast<unsigned>(DIF_CompareCount(WIDE("C"), WIDE(" "))),
                static_cast<unsigned>(DIF_CompareCount(WIDE("A"), WIDE(" "))),
                static_cast<unsigned>(DIF_CompareCount(WIDE("D"), WIDE(" "))),
                static_cast<unsigned>(DIF_CompareCount(WIDE("M"), WIDE(" "))));
    DIF_CompareUnload();
    return loaded == DIF_LOAD_PARTIAL ? kExitTrouble : kExitSame;
}
