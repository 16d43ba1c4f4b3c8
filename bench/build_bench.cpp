// bench/build_bench.cpp
//
// DIF_Build on generated outline pairs. The edited-tree cases compare a realistic application
// of 10^4, 10^5 or 10^6 items (packages, modules, procedures, routines and loop bodies, six
// levels at most, sections of 5 to 50 children, mostly statements) with a copy in which 1% of
// the statements were edited: most texts changed, a few lines inserted, deleted or swapped with
// a neighbour. The worst case is one section of 999 statements, every one of them edited, so
// that the whole section goes through the score matrix of the similarity pairing.
//
// Each pair is generated once per run, streaming, into a temporary folder. Peak memory is taken
// from getrusage's ru_maxrss around one more build in a forked child: the growth of the peak
// resident size over the size at the fork, so no earlier case hides it. It holds both outlines
// as the runtime loads them and the library's section arrays and score matrices.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/outline_shape.h"
#include "include/norvex63.h"

namespace {

long PeakResidentKilobytes() {
    struct rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

struct Entry {
    int type;
    std::string text;
    int kind;  // kLeaf, kRoutine or kLoop: what the entry holds below it
};
constexpr int kLeaf = 0;
constexpr int kRoutine = 1;
constexpr int kLoop = 2;

// Writes the second outline (as generated) and the first (the edited copy) side by side.
class PairWriter {
public:
    PairWriter(const std::filesystem::path& first, const std::filesystem::path& second)
        : first_(first, std::ios::binary), second_(second, std::ios::binary), random_(20240611) {
        first_ << "OUTLINE 1\n";
        second_ << "OUTLINE 1\n";
    }

    size_t Items() const { return items_; }

    void WriteTree(size_t targetItems) {
        Both(0, 1, "Application bench");
        size_t modules = targetItems / kItemsPerModule + 1;
        size_t packages = modules > kMostChildren ? (modules + 26) / 27 : 0;
        if (packages == 0) {
            for (int module = 0; items_ < targetItems; ++module) {
                WriteModule(1, module, targetItems);
            }
            return;
        }
        int module = 0;
        for (size_t package = 0; package < packages; ++package) {
            Both(1, 2, "Package " + std::to_string(package));
            size_t packageEnd = targetItems * (package + 1) / packages;
            while (items_ < packageEnd) WriteModule(2, module++, packageEnd);
        }
    }

    // One procedure of count statements, each edited in the first outline.
    void WriteEditedSection(int count) {
        Both(0, 1, "Application bench");
        Both(1, 4, "Procedure Worst");
        for (int line = 1; line <= count; ++line) {
            std::string text =
                "Line " + std::to_string(line) + ": total += " + std::to_string(line);
            Line(second_, 2, 9, text);
            Line(first_, 2, 9, text + " * rate");
            ++items_;
        }
    }

private:
    int Draw(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    bool Chance(double share) {
        return std::uniform_real_distribution<double>(0, 1)(random_) < share;
    }

    static void Line(std::ofstream& out, int depth, int type, const std::string& text) {
        out << std::string(2 * depth, ' ') << type << " \"" << text << "\"\n";
    }
    void Both(int depth, int type, const std::string& text) {
        Line(first_, depth, type, text);
        Line(second_, depth, type, text);
        ++items_;
    }

    std::string Statement() {
        const char* form = kStatementForms[Draw(0, 7)];
        return form + std::to_string(Draw(0, 999));
    }

    // A module of 5 to 50 procedures; it ends early once the outline holds itemLimit items.
    void WriteModule(int depth, int module, size_t itemLimit) {
        Both(depth, 2, "Module " + std::to_string(module));
        int procedures = Draw(kFewestChildren, kMostChildren);
        for (int procedure = 0; procedure < procedures && items_ < itemLimit; ++procedure) {
            Both(depth + 1, 4,
                 "Procedure P" + std::to_string(module) + "_" + std::to_string(procedure));
            std::vector<Entry> entries(Draw(kFewestChildren, kMostChildren));
            for (Entry& entry : entries) {
                int roll = Draw(1, 100);
                if (roll <= 10) {
                    entry = {18, "Routine R" + std::to_string(Draw(0, 9999)), kRoutine};
                } else if (roll <= 12) {
                    entry = {188, "! note " + std::to_string(Draw(0, 9999)), kLeaf};
                } else {
                    entry = {9, Statement(), kLeaf};
                }
            }
            WriteSection(depth + 2, entries);
        }
    }

    void WriteChildren(int depth, int kind) {
        std::vector<Entry> entries(kind == kRoutine ? Draw(kFewestChildren, kMostChildren)
                                                    : Draw(kFewestChildren, 20));
        for (Entry& entry : entries) {
            if (kind == kRoutine && Draw(1, 100) <= 7) {
                entry = {9, "LOOP I# = 1 TO " + std::to_string(Draw(2, 99)), kLoop};
            } else {
                entry = {9, Statement(), kLeaf};
            }
        }
        WriteSection(depth, entries);
    }

    // Writes one section on both sides; leaves may be edited in the first outline: a changed
    // text, a line inserted after it, the line left out, or the line swapped with the next.
    void WriteSection(int depth, const std::vector<Entry>& entries) {
        for (size_t k = 0; k < entries.size(); ++k) {
            const Entry& entry = entries[k];
            if (entry.kind != kLeaf) {
                Both(depth, entry.type, entry.text);
                WriteChildren(depth + 1, entry.kind);
                continue;
            }
            Line(second_, depth, entry.type, entry.text);
            ++items_;
            if (!Chance(kEditShare)) {
                Line(first_, depth, entry.type, entry.text);
                continue;
            }
            int edit = Draw(1, 10);
            if (edit <= 7) {
                Line(first_, depth, entry.type, entry.text + " ! edited");
            } else if (edit == 8) {
                Line(first_, depth, entry.type, entry.text);
                Line(first_, depth, 9, "Loc:Inserted = " + std::to_string(Draw(0, 999)));
            } else if (edit == 9 && k + 1 < entries.size() && entries[k + 1].kind == kLeaf) {
                const Entry& next = entries[k + 1];
                Line(first_, depth, next.type, next.text);
                Line(first_, depth, entry.type, entry.text);
                Line(second_, depth, next.type, next.text);
                ++items_;
                ++k;
            }
            // Otherwise the line is deleted: the first outline lacks it.
        }
    }

    std::ofstream first_;
    std::ofstream second_;
    std::mt19937 random_;
    size_t items_ = 0;  // items of the second outline
};

struct BenchPair {
    std::u16string first;
    std::u16string second;
    std::u16string compare;
    size_t items = 0;
};

class BenchFolder {
public:
    BenchFolder()
        : path_(std::filesystem::temp_directory_path() /
                ("norvex-build-bench-" + std::to_string(getpid()))) {
        std::filesystem::create_directories(path_);
    }
    ~BenchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

// The pair of a case, generated at its first use. size 0 is the worst-case section.
const BenchPair& GetPair(int64_t size) {
    static BenchFolder folder;
    static std::map<int64_t, std::unique_ptr<BenchPair>> pairs;
    std::unique_ptr<BenchPair>& pair = pairs[size];
    if (pair != nullptr) return *pair;
    pair = std::make_unique<BenchPair>();
    std::string stem = size == 0 ? "worst" : std::to_string(size);
    std::filesystem::path first = folder.Path() / (stem + "-first.outline");
    std::filesystem::path second = folder.Path() / (stem + "-second.outline");
    {
        PairWriter writer(first, second);
        if (size == 0) {
            writer.WriteEditedSection(999);
        } else {
            writer.WriteTree(static_cast<size_t>(size));
        }
        pair->items = writer.Items();
    }
    pair->first = first.u16string();
    pair->second = second.u16string();
    pair->compare = (folder.Path() / (stem + ".cmp")).u16string();
    return *pair;
}

uint16_t Build(const BenchPair& pair) {
    return DIF_Build(pair.first.c_str(), pair.second.c_str(), pair.compare.c_str(), nullptr, 0,
                     DIF_OPT_FDFM);
}

// Megabytes by which one build raises the peak resident size, measured in a forked child (a
// fresh child's peak starts at its size at the fork); -1 when no child could be made. The
// allocator first hands its free memory back, so the child starts from the live memory only.
double MeasurePeakGrowth(const BenchPair& pair) {
    // Freed memory that the allocator still holds would be reused without raising the peak.
    malloc_trim(0);
    int channel[2];
    if (pipe(channel) != 0) return -1;
    pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        long before = PeakResidentKilobytes();
        Build(pair);
        long growth = PeakResidentKilobytes() - before;
        ssize_t written = write(channel[1], &growth, sizeof growth);
        _exit(written == sizeof growth ? 0 : 1);
    }
    close(channel[1]);
    long growth = -1024;
    if (child < 0 || read(channel[0], &growth, sizeof growth) != sizeof growth) growth = -1024;
    close(channel[0]);
    if (child > 0) waitpid(child, nullptr, 0);
    return growth / 1024.0;
}

void RunBuilds(benchmark::State& state, const BenchPair& pair) {
    for (auto _ : state) {
        if (Build(pair) != 0) {
            state.SkipWithError("DIF_Build answered a failure status");
            return;
        }
    }
    DIF_CHAR text[161];
    uint32_t records = 0;
    DIF_BuildGetSection(text, 161, &records, nullptr);
    state.counters["items"] = static_cast<double>(pair.items);
    state.counters["records"] = records;
    state.counters["peak_MB"] = MeasurePeakGrowth(pair);
}

void BM_BuildWorstSection(benchmark::State& state) { RunBuilds(state, GetPair(0)); }

void BM_BuildEditedTree(benchmark::State& state) { RunBuilds(state, GetPair(state.range(0))); }

}  // namespace

BENCHMARK(BM_BuildWorstSection)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildEditedTree)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
