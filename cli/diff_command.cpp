// cli/diff_command.cpp: norvex diff, the comparison of two outlines as a reader sees it.
//
// The report reads like `diff OLD NEW`: a line starting "-" is something only OLD has, "+" only
// NEW, "~" a change, ">" a move; each names the item by the texts of the items above it. The
// compare file is the one that turns OLD into NEW, so `norvex apply OLD` carries the change
// over, as patch does with a diff. The records come through the viewer's exports, in the order
// of NEW's keys. After them comes what the comparison's rules leave out and its records do not
// hold (cli/left_out_changes.h), in a section of its own, unless --rules-only is given.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <unordered_set>
#include <vector>

#include "cli/commands.h"
#include "cli/compare_file_check.h"
#include "cli/diff_page.h"
#include "cli/host.h"
#include "cli/json_output.h"
#include "cli/left_out_changes.h"
#include "cli/outline_view.h"
#include "cli/side_by_side.h"
#include "cli/terminal_text.h"
#include "cli/word_diff.h"
#include "include/norvex63.h"

namespace {

constexpr int kKeySize = 512;  // a key never exceeds one physical line of a compare file

struct Painter {
    bool colour;
    std::string operator()(const char* code, const std::string& text) const {
        return colour ? std::string("\033[") + code + "m" + text + "\033[0m" : text;
    }
};

// One record of the loaded list, at a position of side 1's order.
struct ViewRecord {
    std::string firstKey;
    std::string secondKey;
    char change = '.';
    char subject = ' ';
    int32_t value = 0;
    ItemHandle firstItem = 0;
    ItemHandle secondItem = 0;
};

ViewRecord ReadRecord(int32_t position) {
    DIF_CHAR firstKey[kKeySize] = {}, secondKey[kKeySize] = {}, change[2] = {}, subject[2] = {};
    ViewRecord record;
    DIF_CompareGet(1, position, firstKey, secondKey, change, subject, &record.value);
    DIF_CompareGethItem(1, position, &record.firstItem, &record.secondItem);
    record.firstKey = TerminalFromWide(firstKey);
    record.secondKey = TerminalFromWide(secondKey);
    record.change = static_cast<char>(change[0]);
    record.subject = static_cast<char>(subject[0]);
    return record;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// The header's name of outline 1 (OLD) or 2 (NEW): its label, or its path.
std::string HeaderName(const DiffOptions& options, size_t side) {
    if (options.labels.size() >= side) return options.labels[side - 1];
    const std::string& name = side == 1 ? options.firstName : options.secondName;
    if (!name.empty()) return name;
    return side == 1 ? options.first : options.second;
}

// What a change line calls outline 1 or 2: its label, or OLD and NEW, which the header lines
// explain.
std::string SideName(const DiffOptions& options, size_t side) {
    if (options.labels.size() >= side) return options.labels[side - 1];
    return side == 1 ? "OLD" : "NEW";
}

std::string ItemsBelow(OutlineHandle outline, ItemHandle item) {
    long below = CountBelow(outline, item);
    if (below == 0) return std::string();
    return ", with " + std::to_string(below) + (below == 1 ? " item" : " items") + " below";
}

// The library's first outline is NEW and its second OLD: its records say what would make OLD
// hold what NEW holds, which is what `norvex apply OLD COMPARE` does with them. In a record,
// key 1 and the side-1 item are NEW's, key 2 and the side-2 item OLD's; A means only in NEW,
// D only in OLD.
class DiffReport {
public:
    DiffReport(const DiffOptions& options, const OpenedOutline& older, const OpenedOutline& newer)
        : options_(options), old_(older.Handle()), new_(newer.Handle()), paint_{options.colour} {}

    void Print(const ViewRecord& record) const {
        switch (record.subject) {
        case 'T': PrintText(record); break;
        case 'M': PrintMove(record); break;
        case 'A': PrintAttribute(record); break;
        case 'P': PrintProperty(record); break;
        case 'D': PrintDTData(record); break;
        default: break;
        }
    }

    // The record as one JSON object: what changed, where on either side, and the values.
    nlohmann::json Json(const ViewRecord& r) const {
        static const std::map<char, const char*> kChanges = {
            {'C', "changed"}, {'A', "only-new"}, {'D', "only-old"}, {'M', "moved"}};
        static const std::map<char, const char*> kSubjects = {
            {'T', "item"}, {'A', "attribute"}, {'P', "property"}, {'D', "dtdata"}, {'M', "move"}};
        auto named = [](const std::map<char, const char*>& names, char letter) {
            auto found = names.find(letter);
            return found != names.end() ? std::string(found->second) : std::string(1, letter);
        };
        nlohmann::json entry = {{"change", named(kChanges, r.change)},
                                {"subject", named(kSubjects, r.subject)}};
        // Key 1 and the side-1 item are NEW's, key 2 and the side-2 item OLD's.
        // An item only one side has names, on the other side, only the place it would take:
        // its parent's key and its position.
        bool onlyNew = r.subject == 'T' && r.change == 'A';
        bool onlyOld = r.subject == 'T' && r.change == 'D';
        nlohmann::json old = {{onlyNew ? "place" : "key", r.secondKey}};
        nlohmann::json added = {{onlyOld ? "place" : "key", r.firstKey}};
        if (r.secondItem != 0 && !onlyNew) old["path"] = oldPaths_.Path(r.secondItem);
        if (r.firstItem != 0 && !onlyOld) added["path"] = newPaths_.Path(r.firstItem);
        switch (r.subject) {
        case 'T':
            entry["type"] = r.value;
            entry["type_name"] = TypeName(r.value);
            if (r.secondItem != 0 && !onlyNew) old["text"] = StoredText(old_, r.secondItem);
            if (r.firstItem != 0 && !onlyOld) added["text"] = StoredText(new_, r.firstItem);
            break;
        case 'M':
            entry["items"] = r.value < 0 ? -r.value : r.value;
            // The text of the sibling before the run, null when it is first.
            for (auto [side, outline, paths, item] :
                 {std::make_tuple(&old, old_, &oldPaths_, r.secondItem),
                  std::make_tuple(&added, new_, &newPaths_, r.firstItem)}) {
                ItemHandle before = paths->PreviousSibling(item);
                (*side)["after"] =
                    before != 0 ? nlohmann::json(StoredText(outline, before)) : nlohmann::json();
            }
            break;
        case 'A': {
            uint32_t id = static_cast<uint32_t>(r.value);
            entry["id"] = id;
            old["value"] = AttributeValue(old_, r.secondItem, id);
            added["value"] = AttributeValue(new_, r.firstItem, id);
            break;
        }
        case 'P': {
            bool fromNew = r.change == 'A';
            std::string name = fromNew ? PropertyName(new_, r.firstItem, r.value)
                                       : PropertyName(old_, r.secondItem, r.value);
            entry["name"] = name;
            if (r.change != 'A') old["value"] = PropertyValue(old_, r.secondItem, name);
            if (r.change != 'D') added["value"] = PropertyValue(new_, r.firstItem, name);
            break;
        }
        case 'D':
            entry["index"] = r.value;
            old["value"] = DTDataValue(old_, r.secondItem, r.value);
            added["value"] = DTDataValue(new_, r.firstItem, r.value);
            break;
        default: break;
        }
        entry["old"] = old;
        entry["new"] = added;
        return entry;
    }

private:
    std::string Removed(const std::string& text) const { return paint_("31", "- " + text); }
    std::string Added(const std::string& text) const { return paint_("32", "+ " + text); }
    std::string Changed(const std::string& text) const { return paint_("33", "~ " + text); }
    // Where a changed item stands: in OLD, under the texts it had there.
    std::string OldPath(const ViewRecord& r) const { return oldPaths_.Path(r.secondItem); }

    void PrintText(const ViewRecord& r) const {
        if (r.change == 'C') {
            std::printf("%s  (%s, text changed)\n", Changed(OldPath(r)).c_str(),
                        TypeName(r.value).c_str());
            std::string before = ItemText(old_, r.secondItem), after = ItemText(new_, r.firstItem);
            if (options_.wordDiff) {
                WordRuns runs = CompareWords(before, after);
                before = MarkWords(runs.oldRuns, "[-", "-]");
                after = MarkWords(runs.newRuns, "{+", "+}");
            }
            std::printf("    %s\n    %s\n", Removed(before).c_str(), Added(after).c_str());
        } else if (r.change == 'A') {
            std::printf("%s  (%s, only in %s%s)\n", Added(newPaths_.Path(r.firstItem)).c_str(),
                        TypeName(r.value).c_str(), SideName(options_, 2).c_str(),
                        ItemsBelow(new_, r.firstItem).c_str());
            PrintWholeText(StoredText(new_, r.firstItem), '+');
        } else if (r.change == 'D') {
            std::printf("%s  (%s, only in %s%s)\n", Removed(OldPath(r)).c_str(),
                        TypeName(r.value).c_str(), SideName(options_, 1).c_str(),
                        ItemsBelow(old_, r.secondItem).c_str());
            PrintWholeText(StoredText(old_, r.secondItem), '-');
        }
    }

    // A text that the path line shows cut, whole below it.
    void PrintWholeText(const std::string& stored, char mark) const {
        if (!PathPieceCuts(stored)) return;
        std::string line = OneLine(stored);
        std::printf("    %s\n", (mark == '+' ? Added(line) : Removed(line)).c_str());
    }

    // A side's words with its changed runs marked: in inverse video inside the line's colour,
    // or between the given marks without colour.
    std::string MarkWords(const std::vector<WordRun>& runs, const char* open,
                          const char* close) const {
        std::string text;
        for (const WordRun& run : runs) {
            if (!run.changed) {
                text += run.text;
            } else if (options_.colour) {
                text += "\033[7m" + run.text + "\033[27m";
            } else {
                text += open + run.text + close;
            }
        }
        return text;
    }

    // A moved run, named by its first item, and where it stood and stands: after which
    // sibling in OLD and in NEW.
    void PrintMove(const ViewRecord& r) const {
        int length = r.value < 0 ? -r.value : r.value;
        std::string run = length == 1 ? ""
                                      : " (with the " + std::to_string(length - 1) +
                                            (length == 2 ? " item" : " items") + " after it)";
        std::printf("%s  moved%s: was %s, now %s\n", paint_("36", "> " + OldPath(r)).c_str(),
                    run.c_str(), After(old_, oldPaths_, r.secondItem).c_str(),
                    After(new_, newPaths_, r.firstItem).c_str());
    }

    static std::string After(OutlineHandle outline, PathNamer& paths, ItemHandle item) {
        ItemHandle previous = paths.PreviousSibling(item);
        if (previous == 0) return "first";
        return "after \"" + OneLine(StoredText(outline, previous)) + "\"";
    }

    void PrintAttribute(const ViewRecord& r) const {
        uint32_t id = static_cast<uint32_t>(r.value);
        std::printf("%s  attribute %u: %s -> %s\n", Changed(OldPath(r)).c_str(), id,
                    Quoted(AttributeValue(old_, r.secondItem, id)).c_str(),
                    Quoted(AttributeValue(new_, r.firstItem, id)).c_str());
    }

    void PrintProperty(const ViewRecord& r) const {
        if (r.change == 'A') {  // numbered by its place in NEW's item
            std::string name = PropertyName(new_, r.firstItem, r.value);
            std::printf("%s  property %s = %s (only in %s)\n", Added(OldPath(r)).c_str(),
                        name.c_str(), Quoted(PropertyValue(new_, r.firstItem, name)).c_str(),
                        SideName(options_, 2).c_str());
            return;
        }
        // A change or a deletion numbers the property by its place in OLD's item.
        std::string name = PropertyName(old_, r.secondItem, r.value);
        if (r.change == 'D') {
            std::printf("%s  property %s = %s (only in %s)\n", Removed(OldPath(r)).c_str(),
                        name.c_str(), Quoted(PropertyValue(old_, r.secondItem, name)).c_str(),
                        SideName(options_, 1).c_str());
            return;
        }
        std::printf("%s  property %s: %s -> %s\n", Changed(OldPath(r)).c_str(), name.c_str(),
                    Quoted(PropertyValue(old_, r.secondItem, name)).c_str(),
                    Quoted(PropertyValue(new_, r.firstItem, name)).c_str());
    }

    void PrintDTData(const ViewRecord& r) const {
        std::printf("%s  DTDATA %d: %s -> %s\n", Changed(OldPath(r)).c_str(), r.value,
                    DTDataValue(old_, r.secondItem, r.value).c_str(),
                    DTDataValue(new_, r.firstItem, r.value).c_str());
    }

    const DiffOptions& options_;
    OutlineHandle old_;
    OutlineHandle new_;
    Painter paint_;
    mutable PathNamer oldPaths_{old_};
    mutable PathNamer newPaths_{new_};
};

// What the records say, by item handle: the pairs and the items without partner that the
// comparison decided, for the command's own pairing to follow, and which contents of which
// items it recorded.
class RecordIndex {
public:
    RecordIndex(const std::vector<ViewRecord>& records, OutlineHandle older, OutlineHandle newer) {
        for (const ViewRecord& r : records) {
            if (r.subject == 'T' || r.subject == 'M') {
                // Key 1 and the side-1 item are NEW's, so a pair runs from r.secondItem (OLD).
                if (r.change == 'A' && r.firstItem != 0) hints_.secondAlone.insert(r.firstItem);
                if (r.change == 'D' && r.secondItem != 0) hints_.firstAlone.insert(r.secondItem);
                if (r.firstItem != 0 && r.secondItem != 0 && r.change != 'A' && r.change != 'D') {
                    hints_.pairs[r.secondItem] = r.firstItem;
                }
                continue;
            }
            std::string key;
            if (r.subject == 'A') {
                key = std::to_string(static_cast<uint32_t>(r.value));
            } else if (r.subject == 'D') {
                key = std::to_string(r.value);
            } else if (r.subject == 'P') {
                // A change or a deletion numbers the property in OLD's item, others in NEW's.
                bool inOld = r.change == 'C' || r.change == 'D';
                key = PropertyName(inOld ? older : newer, inOld ? r.secondItem : r.firstItem,
                                   r.value);
            } else {
                continue;
            }
            for (ItemHandle item : {r.firstItem, r.secondItem}) {
                if (item != 0) recorded_.insert(Key(r.subject, item, key));
            }
        }
    }

    const PairingHints& Hints() const { return hints_; }

    // Whether a record names the change's contents on the item of either side.
    bool Records(const LeftOutChange& change, const PlainTree& older,
                 const PlainTree& newer) const {
        ItemHandle items[] = {older.items[static_cast<size_t>(change.first)].handle,
                              newer.items[static_cast<size_t>(change.second)].handle};
        for (const std::optional<ContentEntry>& entry : {change.firstEntry, change.secondEntry}) {
            if (!entry) continue;
            char subject = entry->kind == ContentKind::kAttribute  ? 'A'
                           : entry->kind == ContentKind::kProperty ? 'P'
                                                                   : 'D';
            std::string key = entry->kind == ContentKind::kProperty ? TerminalFromWide(entry->name)
                                                                    : std::to_string(entry->number);
            for (ItemHandle item : items) {
                if (recorded_.count(Key(subject, item, key)) != 0) return true;
            }
        }
        return false;
    }

private:
    static std::string Key(char subject, ItemHandle item, const std::string& key) {
        return std::string(1, subject) + std::to_string(item) + ":" + key;
    }

    PairingHints hints_;
    std::unordered_set<std::string> recorded_;
};

// Room for the items of a tree read from an outline like tree's: an edited copy mostly holds
// about as many.
size_t LikeSized(const PlainTree& tree) { return tree.items.size() + tree.items.size() / 8; }

// The differences that the rules leave out and no record (in index) holds, in OLD's order.
// Reads the trees alone, not the outlines.
std::vector<LeftOutChange> FindUnrecorded(const RecordIndex& index, const PlainTree& older,
                                          const PlainTree& newer, uint32_t optionWord) {
    std::vector<LeftOutChange> unrecorded;
    for (const LeftOutChange& change :
         ListLeftOutChanges(older, newer, PairTrees(older, newer, index.Hints()), optionWord)) {
        // Only contents of items that the comparison walks can have a record.
        if (change.rule == LeftOutRule::kContents && index.Records(change, older, newer)) continue;
        unrecorded.push_back(change);
    }
    return unrecorded;
}

void PrintUnrecorded(const std::vector<LeftOutChange>& changes, const PlainTree& older,
                     const PlainTree& newer, uint32_t optionWord, const Painter& paint) {
    std::printf("%s\n", paint("1", "left out by the comparison's rules:").c_str());
    for (const LeftOutChange& change : changes) {
        const char* colour = change.kind == ChangeKind::kAdded     ? "32"
                             : change.kind == ChangeKind::kRemoved ? "31"
                                                                   : "33";
        const char* mark = change.kind == ChangeKind::kAdded     ? "+ "
                           : change.kind == ChangeKind::kRemoved ? "- "
                                                                 : "~ ";
        std::printf(
            "%s  %s  (%s)\n", paint(colour, mark + ChangePath(change, older, newer)).c_str(),
            DescribeChange(change, older, newer).c_str(), DescribeRule(change, optionWord).c_str());
    }
}

void PrintStatistics(const DiffOptions& options) {
    auto count = [](const WCHAR* change, const WCHAR* subject) {
        return static_cast<unsigned>(DIF_CompareCount(change, subject));
    };
    std::printf("%u changed, %u only in %s, %u only in %s, %u moved\n", count(WIDE("C"), WIDE(" ")),
                count(WIDE("D"), WIDE(" ")), SideName(options, 1).c_str(),
                count(WIDE("A"), WIDE(" ")), SideName(options, 2).c_str(),
                count(WIDE("M"), WIDE(" ")));
    std::printf("items %u, attributes %u, properties %u, DTDATA %u, moves %u\n",
                count(WIDE(" "), WIDE("T")), count(WIDE(" "), WIDE("A")),
                count(WIDE(" "), WIDE("P")), count(WIDE(" "), WIDE("D")),
                count(WIDE(" "), WIDE("M")));
}

// The left-out differences counted as the records are: items, then each kind of contents.
void PrintUnrecordedStatistics(const std::vector<LeftOutChange>& changes) {
    unsigned items = 0, byKind[3] = {0, 0, 0};
    for (const LeftOutChange& change : changes) {
        if (change.kind != ChangeKind::kContents) {
            ++items;
            continue;
        }
        const ContentEntry& entry = change.firstEntry ? *change.firstEntry : *change.secondEntry;
        ++byKind[static_cast<int>(entry.kind)];
    }
    std::printf("left out by the rules: %u (items %u, attributes %u, properties %u, DTDATA %u)\n",
                static_cast<unsigned>(changes.size()), items,
                byKind[static_cast<int>(ContentKind::kAttribute)],
                byKind[static_cast<int>(ContentKind::kProperty)],
                byKind[static_cast<int>(ContentKind::kDTData)]);
}

}  // namespace

int RunDiff(const DiffOptions& options) {
    OpenedOutline older, newer;
    SideBySide([&]() { older.Open(options.first); }, [&]() { newer.Open(options.second); });
    if (!older.IsOpen() || !newer.IsOpen()) {
        if (!older.IsOpen()) ReportTrouble(older.Error());
        if (!newer.IsOpen()) ReportTrouble(newer.Error());
        return kExitTrouble;
    }
    // For the compare file of a diff without -o; beside the page when the temporary folder
    // cannot be used.
    PrivateFolder scratch(
        "norvex",
        options.htmlPath.empty()
            ? std::string()
            : std::filesystem::path(AbsolutePath(options.htmlPath)).parent_path().string());
    std::string comparePath = options.comparePath;
    if (comparePath.empty()) {
        if (scratch.Path().empty()) return ReportTrouble("cannot make a temporary folder");
        comparePath = scratch.File("diff.cmp");
    }
    // A compare file the user keeps is built from the files, so that its header records their
    // sizes and dates. One made only for this report is built from the outlines already open
    // here, so that each file is read and held once.
    const WideText newPath = WideFromName(AbsolutePath(options.second));
    const WideText oldPath = WideFromName(AbsolutePath(options.first));
    const WideText comparePathText = WideFromName(AbsolutePath(comparePath));
    uint16_t status = 0, count = 0;
    int32_t loaded = 0;
    std::vector<ViewRecord> records;
    // The comparison and its records, which only read the outlines open here.
    auto compare = [&]() {
        {
            HostSession session(options.progress);
            if (!options.comparePath.empty()) {
                status = DIF_Build(newPath.c_str(), oldPath.c_str(), comparePathText.c_str(),
                                   session.Window(), kProgressMessage, options.optionWord);
            } else {
                status = DIF_BuildObject(
                    newPath.c_str(), newer.Handle(), GetRootItem(newer.Handle()), oldPath.c_str(),
                    older.Handle(), GetRootItem(older.Handle()), comparePathText.c_str(),
                    session.Window(), kProgressMessage, options.optionWord);
            }
        }
        if ((status & (DIF_ST_COMPARE_FILE | DIF_ST_FIRST_OUTLINE | DIF_ST_SECOND_OUTLINE)) != 0) {
            return;
        }
        loaded = DIF_CompareLoad(comparePathText.c_str(), &count);
        if (loaded == 0) return;
        DIF_CompareSort();
        DIF_CompareSethItems(newer.Handle(), GetRootItem(newer.Handle()), 0);
        DIF_CompareSethItems(older.Handle(), GetRootItem(older.Handle()), 1);
        for (int32_t position = 0; position < count; ++position) {
            records.push_back(ReadRecord(position));
        }
    };
    // The trees that the list of what the comparison leaves out is made from, read beside the
    // comparison when it reads only the outlines open here (a build from the files opens and
    // closes outlines of its own, which no read may run beside).
    PlainTree olderTree, newerTree;
    auto readTrees = [&]() {
        olderTree = ReadPlainTree(older.Handle());
        newerTree = ReadPlainTree(newer.Handle(), LikeSized(olderTree));
    };
    if (options.rulesOnly) {
        compare();
    } else if (options.comparePath.empty()) {
        SideBySide(readTrees, compare);
    } else {
        compare();
        readTrees();
    }
    if ((status & DIF_ST_COMPARE_FILE) != 0) {
        return ReportTrouble("cannot write the compare file " + comparePath);
    }
    if ((status & (DIF_ST_FIRST_OUTLINE | DIF_ST_SECOND_OUTLINE)) != 0) {
        return ReportTrouble("the outlines could not be read again for the comparison");
    }
    if (loaded == 0) {
        return ReportTrouble("cannot read back the compare file " + comparePath);
    }
    // What the records hold is read from the outlines first; the search for what they leave
    // out then reads only the trees, so that it can run beside the reports of the records.
    std::optional<RecordIndex> recordIndex;
    if (!options.rulesOnly) recordIndex.emplace(records, older.Handle(), newer.Handle());
    std::vector<LeftOutChange> unrecorded;
    auto findUnrecorded = [&]() {
        if (recordIndex) {
            unrecorded = FindUnrecorded(*recordIndex, olderTree, newerTree, options.optionWord);
        }
    };
    Painter paint{options.colour};
    auto printHeader = [&]() {
        std::printf("%s\n%s\n", paint("1", "--- " + HeaderName(options, 1)).c_str(),
                    paint("1", "+++ " + HeaderName(options, 2)).c_str());
    };
    if (options.json) {
        // The records are described while the trees are searched for what they leave out:
        // the descriptions read the outlines, the search only the trees.
        DiffReport report(options, older, newer);
        nlohmann::json changes = nlohmann::json::array();
        SideBySide(findUnrecorded, [&]() {
            for (const ViewRecord& record : records) changes.push_back(report.Json(record));
        });
        nlohmann::json document = {
            {"format", "norvex-diff"},       {"version", 1},
            {"old", HeaderName(options, 1)}, {"new", HeaderName(options, 2)},
            {"changes", std::move(changes)}, {"left_out", nlohmann::json::array()}};
        for (const LeftOutChange& change : unrecorded) {
            document["left_out"].push_back({{"path", ChangePath(change, olderTree, newerTree)},
                                            {"what", DescribeChange(change, olderTree, newerTree)},
                                            {"rule", DescribeRule(change, options.optionWord)}});
        }
        PrintJson(document);
    } else if (!options.brief && !options.statistics && count > 0) {
        // The same for the lines of the records, printed while the search runs.
        SideBySide(findUnrecorded, [&]() {
            printHeader();
            DiffReport report(options, older, newer);
            for (const ViewRecord& record : records) report.Print(record);
        });
        if (!unrecorded.empty()) {
            PrintUnrecorded(unrecorded, olderTree, newerTree, options.optionWord, paint);
        }
    } else {
        findUnrecorded();
        if (options.brief) {
            // As diff --brief: a line only when they differ.
            if (count > 0 || !unrecorded.empty()) {
                std::printf("Outlines %s and %s differ\n", HeaderName(options, 1).c_str(),
                            HeaderName(options, 2).c_str());
            }
        } else if (options.statistics) {
            PrintStatistics(options);
            if (!options.rulesOnly) PrintUnrecordedStatistics(unrecorded);
        } else if (!unrecorded.empty()) {
            printHeader();
            PrintUnrecorded(unrecorded, olderTree, newerTree, options.optionWord, paint);
        }
    }
    std::string pageError;
    bool pageWritten = options.htmlPath.empty() ||
                       WriteDiffPage(options.htmlPath,
                                     {HeaderName(options, 1), HeaderName(options, 2),
                                      older.Handle(), newer.Handle(), options.optionWord},
                                     &pageError);
    DIF_CompareUnload();
    if (!pageWritten) return ReportTrouble(pageError);
    if ((status & DIF_ST_SECTION_LIMIT) != 0) {
        return ReportTrouble(
            "a section has more than 999 items, so the comparison is incomplete"
            " (leave out --view to compare every item)");
    }
    if (loaded == DIF_LOAD_PARTIAL) {
        return ReportTrouble(PartialListNote(count, options.comparePath));
    }
    size_t unnamed = 0;
    for (const ViewRecord& record : records) {
        if (!IsThreeDigitPath(record.firstKey) || !IsThreeDigitPath(record.secondKey)) ++unnamed;
    }
    if (unnamed > 0) {
        return ReportTrouble(std::to_string(unnamed) + " record" + (unnamed == 1 ? "" : "s") +
                             " of the 1000th or later item of a section cannot name their items"
                             " (such keys cannot be taken apart), so the list above is not"
                             " complete");
    }
    return count > 0 || !unrecorded.empty() ? kExitDifferent : kExitSame;
}

int RunGitDiff(const std::vector<std::string>& arguments, bool colour) {
    const std::string& path = arguments[0];
    const std::string& oldFile = arguments[1];
    const std::string& newFile = arguments[4];
    // On a rename git passes the new path after the modes.
    const std::string& newPath = arguments.size() > 7 ? arguments[7] : path;
    // An added or removed outline stands against /dev/null, which is no outline: say so, with
    // the size of the one there is.
    for (int side = 0; side < 2; ++side) {
        const std::string& file = side == 0 ? oldFile : newFile;
        const std::string& other = side == 0 ? newFile : oldFile;
        if (file != "/dev/null") continue;
        if (other == "/dev/null") return kExitSame;
        OpenedOutline outline(other);
        if (!outline.IsOpen()) return ReportTrouble(outline.Error());
        long items = 1 + CountBelow(outline.Handle(), GetRootItem(outline.Handle()));
        std::printf("%s outline %s: %ld item%s\n", side == 0 ? "new" : "deleted",
                    (side == 0 ? newPath : path).c_str(), items, items == 1 ? "" : "s");
        return kExitSame;
    }
    DiffOptions options;
    options.first = oldFile;
    options.second = newFile;
    options.labels = {"a/" + path, "b/" + newPath};
    options.optionWord = DIF_OPT_FDFM | DIF_OPT_ATTRIBUTES | DIF_OPT_PROPERTIES | DIF_OPT_DTDATA;
    options.colour = colour;
    options.wordDiff = colour;
    options.progress = false;
    return RunDiff(options) == kExitTrouble ? kExitTrouble : kExitSame;
}

int RunDiffTool(const std::vector<std::string>& arguments) {
    std::string path = arguments.size() > 2 ? arguments[2] : arguments[1];
    std::string name = std::filesystem::path(path).filename().string();
    // The page must outlive the command, which the browser may outlast: a folder of its own
    // under the temporary folder, kept.
    std::error_code error;
    std::filesystem::path place = std::filesystem::temp_directory_path(error);
    if (error) place = ".";
    std::string folder = (place / "norvex-difftool-XXXXXX").string();
    if (mkdtemp(folder.data()) == nullptr)
        return ReportTrouble("cannot make a folder for the page");
    DiffOptions options;
    options.first = arguments[0];
    options.second = arguments[1];
    options.labels = {"a/" + path, "b/" + path};
    options.optionWord = DIF_OPT_FDFM | DIF_OPT_ATTRIBUTES | DIF_OPT_PROPERTIES | DIF_OPT_DTDATA;
    options.brief = true;
    options.progress = false;
    options.htmlPath = folder + "/" + name + ".html";
    int status = RunDiff(options);
    if (status == kExitTrouble) return status;
    std::printf("the diff page of %s is %s\n", path.c_str(), options.htmlPath.c_str());
    std::fflush(stdout);
    const char* browser = std::getenv("BROWSER");
    // The page's path as one quoted word of the shell, whatever it holds.
    std::string quoted = "'";
    for (char letter : options.htmlPath)
        quoted += letter == '\'' ? std::string("'\\''") : std::string(1, letter);
    quoted += "'";
    std::string command = std::string(browser != nullptr && *browser != 0 ? browser : "xdg-open") +
                          " " + quoted + " >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "norvex: open %s in a browser (set BROWSER to choose one)\n",
                     options.htmlPath.c_str());
    }
    return kExitSame;
}
