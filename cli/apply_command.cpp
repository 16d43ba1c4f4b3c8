// cli/apply_command.cpp: norvex apply, which makes an outline hold what a comparison's first
// outline held.
#include <cstdio>
#include <filesystem>
#include <string>

#include "cli/commands.h"
#include "cli/compare_file_check.h"
#include "cli/host.h"
#include "cli/left_out_changes.h"
#include "cli/outline_view.h"
#include "cli/plain_tree.h"
#include "cli/terminal_text.h"
#include "include/norvex63.h"
#include "platform/replacement_file.h"

namespace {

// After an apply, the output should hold what the comparison's first outline holds. When that
// outline is still where the header names it, with the size it had, every difference between
// the two is a change that the apply did not carry over (what the rules leave out of a record
// or of its application); each is named. Answers how many; -1 when there was nothing to
// check against.
long ReportUnapplied(const CompareFileFacts& facts, const std::string& output) {
    // The file the header names, unchanged: its size and time as the library recorded them.
    uint32_t size = 0;
    DIF_CHAR time[32] = {};
    DIF_GetFileInfo(WideFromName(facts.firstName).c_str(), &size, time);
    if (!facts.firstSizeKnown || static_cast<int64_t>(size) != facts.firstSize ||
        TerminalFromWide(time) != facts.firstTime) {
        return -1;
    }
    OpenedOutline wanted(facts.firstName);
    OpenedOutline made(output);
    if (!wanted.IsOpen() || !made.IsOpen()) return -1;
    PlainTree result = ReadPlainTree(made.Handle());
    PlainTree target = ReadPlainTree(wanted.Handle());
    std::vector<LeftOutChange> missing = ListEveryChange(result, target, PairTrees(result, target));
    LineBatch lines(stderr);
    for (const LeftOutChange& change : missing) {
        lines.Add("norvex: not applied: ", ChangePath(change, result, target), ": ",
                  DescribeChange(change, result, target));
    }
    return static_cast<long>(missing.size());
}

// Replaces the file at target with the bytes of the file at source, whole or not at all.
bool PutInPlace(const std::string& source, const std::string& target) {
    FILE* input = std::fopen(source.c_str(), "rb");
    if (input == nullptr) return false;
    ReplacementFile* output = BeginReplacement(WideFromName(target).c_str());
    if (output == nullptr) {
        std::fclose(input);
        return false;
    }
    char block[1 << 16];
    size_t got;
    while ((got = std::fread(block, 1, sizeof block, input)) > 0) {
        std::fwrite(block, 1, got, ReplacementStream(output));  // a failure shows at the commit
    }
    bool read = std::ferror(input) == 0;
    std::fclose(input);
    if (!read) {
        AbandonReplacement(output);
        return false;
    }
    return CommitReplacement(output);
}

}  // namespace

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
    // The library saves into a folder of the command's own; the output is checked there, where
    // no other writer of the output's path can change it, and then put in place whole.
    PrivateFolder scratch(
        "norvex-apply", std::filesystem::path(AbsolutePath(options.output)).parent_path().string());
    if (scratch.Path().empty()) return ReportTrouble("cannot make a temporary folder");
    const std::string applied = scratch.File("applied.outline");
    uint16_t status;
    int warnings;
    {
        HostSession session(options.progress);
        status = DIF_Apply(WideFromName(AbsolutePath(options.outline)).c_str(),
                           WideFromName(AbsolutePath(options.comparePath)).c_str(),
                           WideFromName(AbsolutePath(applied)).c_str(), session.Window(),
                           kProgressMessage);
        warnings = session.Warnings();
    }
    if ((status & 0x4) != 0)
        return ReportTrouble("cannot read the compare file " + options.comparePath);
    if ((status & 0x2) != 0) return ReportTrouble("cannot open " + options.outline);
    if ((status & 0x1) != 0 || !PutInPlace(applied, options.output)) {
        return ReportTrouble("cannot save " + options.output);
    }
    std::printf("applied %s to %s; saved %s\n", options.comparePath.c_str(),
                options.outline.c_str(), options.output.c_str());
    long unapplied = ReportUnapplied(facts, applied);
    std::string firstName = std::filesystem::path(facts.firstName).filename().string();
    if (unapplied < 0) {
        std::fprintf(stderr,
                     "norvex: note: %s, which the comparison was built from, is not at hand as it"
                     " was, so the output was not checked against it\n",
                     firstName.c_str());
    } else if (unapplied > 0) {
        std::fprintf(stderr,
                     "norvex: %s does not hold %ld change%s of %s: the compare file or its apply"
                     " leaves them out\n",
                     options.output.c_str(), unapplied, unapplied == 1 ? "" : "s",
                     firstName.c_str());
    }
    if (unapplied > 0) return kExitDifferent;
    if (warnings > 0) {
        // As patch does with rejected hunks: the output is written, but it does not hold
        // every change.
        std::fprintf(stderr, "norvex: %s may not hold every change: the apply gave %d warning%s\n",
                     options.output.c_str(), warnings, warnings == 1 ? "" : "s");
        return kExitDifferent;
    }
    return kExitSame;
}
