// cli/apply_command.cpp: norvex apply, which makes an outline hold what a comparison's first
// outline held.
#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "cli/host.h"
#include "cli/outline_view.h"
#include "cli/terminal_text.h"
#include "include/norvex63.h"

namespace {

// The first line of a compare file names its kind; a viewing file (RDFC) holds no texts, and
// applying it would blank every changed item.
bool IsViewingFile(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    unsigned char bytes[34] = {};
    size_t read = std::fread(bytes, 1, sizeof bytes, file);
    std::fclose(file);
    std::string marker;
    for (size_t k = 2; k + 1 < read; k += 2) {  // after the byte order mark
        if (bytes[k] == '\r' || bytes[k] == '\n') break;
        marker.push_back(static_cast<char>(bytes[k]));
    }
    return marker.find("RDFC") != std::string::npos;
}

}  // namespace

int RunApply(const ApplyOptions& options) {
    {
        OpenedOutline outline(options.outline);  // for the runtime's own account of a refusal
        if (!outline.IsOpen()) return ReportTrouble(outline.Error());
    }
    if (IsViewingFile(options.comparePath)) {
        return ReportTrouble(options.comparePath +
                             " was written for viewing (--view) and holds no texts; write it"
                             " again without --view to apply it");
    }
    uint16_t status;
    {
        HostSession session(options.progress);
        status = DIF_Apply(WideFromName(AbsolutePath(options.outline)).c_str(),
                           WideFromName(AbsolutePath(options.comparePath)).c_str(),
                           WideFromName(AbsolutePath(options.output)).c_str(), session.Window(),
                           kProgressMessage);
    }
    if ((status & 0x4) != 0)
        return ReportTrouble("cannot read the compare file " + options.comparePath);
    if ((status & 0x2) != 0) return ReportTrouble("cannot open " + options.outline);
    if ((status & 0x1) != 0) return ReportTrouble("cannot save " + options.output);
    std::printf("applied %s to %s; saved %s\n", options.comparePath.c_str(),
                options.outline.c_str(), options.output.c_str());
    return kExitSame;
}
