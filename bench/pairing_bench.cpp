// bench/pairing_bench.cpp
//
// The pairing of one section, hashed and one-pass against step by step: 999 statements on
// each side, every text edited, so that the whole section goes through the score matrix
// (argument 1 the fast engine, 0 the reference). Then a build of one section of 100,000
// statements with one in a hundred edited, under DIF_OPT_FDFM (no section limit), beside the
// runtime's open of both of its files, the floor that a build cannot go below; and the same
// section with every statement edited, which is paired without a score matrix.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "compare/item_matching.h"
#include "include/norvex63.h"
#include "runtime/brimrt63.h"

namespace {

constexpr int32_t kStatement = 9;

// One side of the edited section, its arrays reset before every pairing.
class BenchSide {
public:
    BenchSide(int count, const std::string& suffix) {
        for (int line = 1; line <= count; ++line) {
            std::string text =
                "Line " + std::to_string(line) + ": total += " + std::to_string(line) + suffix;
            textStore_.emplace_back(text.begin(), text.end());
            types_.push_back(kStatement);
        }
        for (std::u16string& text : textStore_) texts_.push_back(text.data());
        status_.assign(types_.size(), kStatusUnresolved);
        match_.assign(types_.size(), kNoMatch);
        candidates_.resize(types_.size());
        positions_.resize(types_.size());
    }
    PairingSide& Reset() {
        std::fill(status_.begin(), status_.end(), kStatusUnresolved);
        std::fill(match_.begin(), match_.end(), kNoMatch);
        side_ = {static_cast<int32_t>(types_.size()),
                 status_.data(),
                 match_.data(),
                 types_.data(),
                 texts_.data(),
                 candidates_.data(),
                 0,
                 positions_.data()};
        return side_;
    }
    const std::vector<int32_t>& Match() const { return match_; }

private:
    std::vector<int32_t> types_;
    std::vector<std::u16string> textStore_;
    std::vector<WCHAR*> texts_;
    std::vector<WCHAR> status_;
    std::vector<int32_t> match_;
    std::vector<int32_t> candidates_, positions_;
    PairingSide side_ = {};
};

void BM_PairEditedSection(benchmark::State& state) {
    BenchSide first(999, " * rate"), second(999, "");
    bool fast = state.range(0) == 1;
    for (auto _ : state) {
        PairingSide& firstSide = first.Reset();
        PairingSide& secondSide = second.Reset();
        if (fast) {
            MatchItems(firstSide, secondSide);
        } else {
            MatchItemsReference(firstSide, secondSide);
        }
        benchmark::DoNotOptimize(first.Match().data());
    }
    state.SetLabel(fast ? "fast" : "reference");
}

// The two outline files of the long section, written once, with every editStep-th statement
// edited in the first file.
struct SiblingFiles {
    explicit SiblingFiles(int editStep) {
        folder =
            std::filesystem::temp_directory_path() /
            ("norvex-pairing-bench-" + std::to_string(getpid()) + "-" + std::to_string(editStep));
        std::filesystem::create_directories(folder);
        std::ofstream firstFile(folder / "first.outline", std::ios::binary);
        std::ofstream secondFile(folder / "second.outline", std::ios::binary);
        for (std::ofstream* out : {&firstFile, &secondFile}) {
            *out << "OUTLINE 1\n1 \"Application bench\"\n  4 \"Procedure Long\"\n";
        }
        for (int line = 1; line <= 100000; ++line) {
            std::string text =
                "Line " + std::to_string(line) + ": total += " + std::to_string(line % 977);
            secondFile << "    9 \"" << text << "\"\n";
            firstFile << "    9 \"" << text << (line % editStep == 0 ? " * rate" : "") << "\"\n";
        }
        first = (folder / "first.outline").u16string();
        second = (folder / "second.outline").u16string();
        compare = (folder / "result.cmp").u16string();
    }
    SiblingFiles(const SiblingFiles&) = delete;
    SiblingFiles& operator=(const SiblingFiles&) = delete;
    ~SiblingFiles() {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    std::filesystem::path folder;
    std::u16string first, second, compare;
};

const SiblingFiles& GetSiblingFiles(int editStep) {
    static SiblingFiles onePercent(100);
    static SiblingFiles everyOne(1);
    return editStep == 1 ? everyOne : onePercent;
}

// Argument: 100 edits one statement in a hundred, 1 every statement.
void BM_BuildLongSection(benchmark::State& state) {
    const SiblingFiles& files = GetSiblingFiles(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        uint16_t status = DIF_Build(files.first.c_str(), files.second.c_str(),
                                    files.compare.c_str(), nullptr, 0, DIF_OPT_FDFM);
        if (status != 0) {
            state.SkipWithError("DIF_Build answered a failure status");
            return;
        }
    }
}

void BM_OpenLongSectionFiles(benchmark::State& state) {
    const SiblingFiles& files = GetSiblingFiles(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        for (const std::u16string* path : {&files.first, &files.second}) {
            OutlineHandle outline = OpenOutline(path->c_str());
            if (outline == 0) {
                state.SkipWithError("the runtime did not open a bench file");
                return;
            }
            CloseOutline(outline);
        }
    }
}

}  // namespace

BENCHMARK(BM_PairEditedSection)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildLongSection)->Arg(100)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenLongSectionFiles)->Arg(100)->Arg(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
