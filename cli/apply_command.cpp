// cli/apply_command.cpp: norvex apply, which makes an outline hold what a comparison's first
// outline held.
#include <cstdio>
#include <filesystem>
#include <string>

#include "cli/commands.h"
#include "cli/compare_file_check.h"
#include "cli/host.h"
#include "cli/outline_view.h"
#include "cli/terminal_text.h"
#include "include/norvex63.h"

int RunApply(const ApplyOptions& options) {
    {
        OpenedOutline outline(options.outline);  // for the runtime's own account of a refusal
        if (!outline.IsOpen()) return ReportTrouble(outline.Error());
    }
    CompareFileFacts facts;
    std::string problem = CheckCompareFile(options.comparePath, facts);
    if (!problem.empty()) return ReportTrouble(problem);
    if (facts.kind == "RDFC") {
        return ReportTrouble(options.comparePath +
                             " was written for viewing (--view) and holds no texts; write it"
                             " again without --view to apply it");
    }
    // The header records the size of the outline the comparison was built against; another
    // outline would take the records at keys that name other items.
    std::error_code error;
    auto size = std::filesystem::file_size(options.outline, error);
    if (!options.force && facts.secondSizeKnown && !error &&
        static_cast<int64_t>(size) != facts.secondSize) {
        return ReportTrouble(options.comparePath + " was built against an outline of " +
                             std::to_string(facts.secondSize) + " bytes (" +
                             std::filesystem::path(facts.secondName).filename().string() +
                             "), not against " + options.outline + " of " + std::to_string(size) +
                             " bytes; --force applies it anyway");
    }
    uint16_t status;
    int warnings;
    {
        HostSession session(options.progress);
        status = DIF_Apply(WideFromName(AbsolutePath(options.outline)).c_str(),
                           WideFromName(AbsolutePath(options.comparePath)).c_str(),
                           WideFromName(AbsolutePath(options.output)).c_str(), session.Window(),
                           kProgressMessage);
        warnings = session.Warnings();
    }
    if ((status & 0x4) != 0)
        return ReportTrouble("cannot read the compare file " + options.comparePath);
    if ((status & 0x2) != 0) return ReportTrouble("cannot open " + options.outline);
    if ((status & 0x1) != 0) return ReportTrouble("cannot save " + options.output);
    std::printf("applied %s to %s; saved %s\n", options.comparePath.c_str(),
                options.outline.c_str(), options.output.c_str());
    if (warnings > 0) {
        // As patch does with rejected hunks: the output is written, but it does not hold
        // every change.
        std::fprintf(stderr, "norvex: %s may not hold every change: the apply gave %d warning%s\n",
                     options.output.c_str(), warnings, warnings == 1 ? "" : "s");
        return kExitDifferent;
    }
    return kExitSame;
}
