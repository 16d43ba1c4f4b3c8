// cli/show_command.cpp: norvex show, the viewer's queries over a compare file as a table.
#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "cli/compare_file_check.h"
#include "cli/host.h"
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
        WideText key = WideFromTerminal(options.find);
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
