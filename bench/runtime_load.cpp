// bench/runtime_load.cpp
//
// The outline runtime on a large outline: a file of about 100 MB (a few million items, shaped
// like a big application: modules, procedures, statements, some contents) is generated once
// in a temporary folder, then OpenOutline, a full walk and SaveOutline are measured. The open
// also reports the memory the loaded outline holds, per item, from the resident size (VmRSS),
// and the part of it that the heap holds (mallinfo2): the big arrays (item records, text
// blocks) live in pages of their own, outside the heap's count.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "runtime/brimrt63.h"

namespace {

constexpr size_t kTargetBytes = 100u * 1000u * 1000u;

struct BenchFile {
    std::filesystem::path folder;
    std::u16string path;
    std::u16string savedPath;
    size_t bytes = 0;
    size_t items = 0;

    ~BenchFile() {
        std::error_code ignored;
        if (!folder.empty()) std::filesystem::remove_all(folder, ignored);
    }
};

// Statement texts of typical length, with a few escapes among them.
const char* const kStatements[] = {
    "Loc:Counter += 1",
    "IF Loc:Total > 100 THEN DO ReportOverflow.",
    "MESSAGE('Saved \\\"' & CLIP(Name) & '\\\"')",
    "Access:Customers.Fetch(CUS:KeyCustomerNumber)",
    "LOOP UNTIL Access:Orders.Next()",
    "! a comment with \\t a tab",
    "ThisWindow.Update()",
    "RETURN Level:Benign",
};

const BenchFile& GetBenchFile() {
    static BenchFile file = [] {
        BenchFile made;
        made.folder =
            std::filesystem::temp_directory_path() / ("brimrt-bench-" + std::to_string(getpid()));
        std::filesystem::create_directories(made.folder);
        made.path = (made.folder / "large.outline").u16string();
        made.savedPath = (made.folder / "saved.outline").u16string();
        std::ofstream out(made.folder / "large.outline", std::ios::binary);
        std::string chunk = "OUTLINE 1\n1 \"Application bench\"\n";
        made.items = 1;
        for (int module = 0; made.bytes + chunk.size() < kTargetBytes; ++module) {
            chunk += "  2 \"Module " + std::to_string(module) + "\"\n";
            ++made.items;
            for (int procedure = 0; procedure < 20; ++procedure) {
                chunk += "    4 \"Procedure P" + std::to_string(module) + "_" +
                         std::to_string(procedure) + "\"\n";
                chunk += "      @429 \"" + std::to_string(procedure) + "\"\n      $39 " +
                         std::to_string(module) + "\n";
                ++made.items;
                for (int statement = 0; statement < 12; ++statement) {
                    chunk += "      " + std::to_string(100 + statement) + " \"" +
                             kStatements[statement % 8] + "\"\n";
                    ++made.items;
                }
            }
            if (chunk.size() > (1 << 20)) {
                out << chunk;
                made.bytes += chunk.size();
                chunk.clear();
            }
        }
        out << chunk;
        made.bytes += chunk.size();
        return made;
    }();
    return file;
}

size_t ResidentBytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stoul(line.substr(6)) * 1024;
    }
    return 0;
}

size_t AllocatedBytes() { return mallinfo2().uordblks + mallinfo2().hblkhd; }

// The UTF-16 bytes of the item texts alone, so that the figures above can be read as the
// runtime's own cost plus the text.
double TextBytesPerItem(const BenchFile& file) {
    OutlineHandle outline = OpenOutline(file.path.c_str());
    size_t units = 0;
    std::vector<ItemHandle> pending = {GetRootItem(outline)};
    while (!pending.empty()) {
        ItemHandle item = pending.back();
        pending.pop_back();
        StringHandle text = 0;
        GetItemText(outline, item, 0, &text);
        int32_t length = 0;
        GetStringText(text, &length);
        FreeString(text);
        units += static_cast<size_t>(length);
        for (ItemHandle child = GetFirstChild(outline, item); child != 0;
             child = GetNextSibling(outline, child)) {
            pending.push_back(child);
        }
    }
    CloseOutline(outline);
    return static_cast<double>(units * sizeof(WCHAR)) / file.items;
}

void BM_OpenOutline(benchmark::State& state) {
    const BenchFile& file = GetBenchFile();
    double heapPerItem = 0, residentPerItem = 0;
    for (auto _ : state) {
        malloc_trim(0);
        size_t heapBefore = AllocatedBytes();
        size_t residentBefore = ResidentBytes();
        OutlineHandle outline = OpenOutline(file.path.c_str());
        if (outline == 0) {
            state.SkipWithError("the generated outline did not open");
            return;
        }
        heapPerItem = static_cast<double>(AllocatedBytes() - heapBefore) / file.items;
        residentPerItem = static_cast<double>(ResidentBytes() - residentBefore) / file.items;
        state.PauseTiming();
        CloseOutline(outline);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file.bytes));
    state.counters["items"] = static_cast<double>(file.items);
    state.counters["text_bytes_per_item"] = TextBytesPerItem(file);
    state.counters["in_heap_bytes_per_item"] = heapPerItem;
    state.counters["rss_bytes_per_item"] = residentPerItem;
}
BENCHMARK(BM_OpenOutline)->Unit(benchmark::kMillisecond)->Iterations(3);

// Every item visited depth-first by its first child and next sibling, its type and its
// stored text read as the library reads them.
void BM_WalkOutline(benchmark::State& state) {
    const BenchFile& file = GetBenchFile();
    OutlineHandle outline = OpenOutline(file.path.c_str());
    size_t visited = 0;
    for (auto _ : state) {
        visited = 0;
        std::vector<ItemHandle> path;
        ItemHandle item = GetRootItem(outline);
        while (item != 0) {
            ++visited;
            benchmark::DoNotOptimize(GetItemType(outline, item));
            StringHandle text = 0;
            GetItemText(outline, item, 0, &text);
            int32_t length = 0;
            benchmark::DoNotOptimize(GetStringText(text, &length));
            FreeString(text);
            ItemHandle child = GetFirstChild(outline, item);
            if (child != 0) {
                path.push_back(item);
                item = child;
                continue;
            }
            item = GetNextSibling(outline, item);
            while (item == 0 && !path.empty()) {
                item = GetNextSibling(outline, path.back());
                path.pop_back();
            }
        }
    }
    CloseOutline(outline);
    if (visited != file.items) state.SkipWithError("the walk missed items");
    state.counters["items"] = static_cast<double>(visited);
}
BENCHMARK(BM_WalkOutline)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_SaveOutline(benchmark::State& state) {
    const BenchFile& file = GetBenchFile();
    OutlineHandle outline = OpenOutline(file.path.c_str());
    for (auto _ : state) {
        if (SaveOutline(outline, file.savedPath.c_str()) == 0)
            state.SkipWithError("the save failed");
    }
    CloseOutline(outline);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file.bytes));
}
BENCHMARK(BM_SaveOutline)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
