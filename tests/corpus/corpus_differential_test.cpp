// tests/corpus/corpus_differential_test.cpp
//
// The engines' tables and indexes against the plain walks of their rules, on the real
// documents of the corpus (bench/make_corpus.sh, in the folder NORVEX_CORPUS_DIR names): each
// document gets two seeded versions, made through the runtime as a person edits (texts changed,
// items inserted, deleted and moved among their siblings, a run of siblings reordered), and
// every build and merge of them runs both ways and must write the same bytes. The viewer's key
// resolver must find what FindItemByKey finds for every key of the builds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "include/norvex63.h"
#include "outline/outline_runtime.h"
#include "outline/outline_walk.h"
#include "support/run_state.h"
#include "tests/helpers/test_support.h"

namespace {

constexpr uint32_t kContents = DIF_OPT_ATTRIBUTES | DIF_OPT_PROPERTIES | DIF_OPT_DTDATA;

// Every item of outline below the root, with its parent, in depth-first order.
struct Placed {
    ItemHandle item;
    ItemHandle parent;
};
std::vector<Placed> AllItems(OutlineHandle outline) {
    std::vector<Placed> items;
    std::vector<ItemHandle> pending = {GetRootItem(outline)};
    while (!pending.empty()) {
        ItemHandle parent = pending.back();
        pending.pop_back();
        for (ItemHandle child = GetFirstChild(outline, parent); child != 0;
             child = GetNextSibling(outline, child)) {
            items.push_back({child, parent});
            pending.push_back(child);
        }
    }
    return items;
}

// Saves a version of the document at path: about one item in a hundred edited, and one
// section's children reordered.
void WriteVersion(const std::string& document, const std::string& path, uint32_t seed) {
    OutlineHandle outline = OpenOutline(Wide(document).c_str());
    ASSERT_NE(outline, 0u) << document;
    std::mt19937 random(seed);
    std::vector<Placed> items = AllItems(outline);
    size_t edits = items.size() / 100 + 5;
    // An item deleted or moved away (with its subtree) has no parent any more.
    auto live = [&](const Placed& placed) { return GetParentItem(outline, placed.item) != 0; };
    for (size_t edit = 0; edit < edits && !items.empty(); ++edit) {
        const Placed& placed = items[random() % items.size()];
        if (!live(placed)) continue;
        switch (random() % 4) {
        case 0: SetItemText(outline, placed.item, u"edited", 1); break;
        case 1: InsertItem(outline, placed.parent, placed.item, 9); break;
        case 2: DeleteItem(outline, placed.item); break;
        default: {
            // Moved after another child of its parent.
            const Placed& other = items[random() % items.size()];
            if (!live(other) || other.parent != placed.parent || other.item == placed.item) break;
            if (CopyItem(outline, placed.item, outline, placed.parent, other.item, 1, 1) != 0) {
                DeleteItem(outline, placed.item);
            }
            break;
        }
        }
    }
    // One section reordered: its children each moved after a drawn sibling.
    std::vector<Placed> now = AllItems(outline);
    if (!now.empty()) {
        ItemHandle parent = now[random() % now.size()].parent;
        std::vector<ItemHandle> children;
        for (ItemHandle child = GetFirstChild(outline, parent); child != 0;
             child = GetNextSibling(outline, child)) {
            children.push_back(child);
        }
        for (size_t k = 0; k < children.size() && k < 200; ++k) {
            ItemHandle after = children[random() % children.size()];
            if (after == children[k]) continue;
            ItemHandle copy = CopyItem(outline, children[k], outline, parent, after, 1, 1);
            if (copy != 0 && DeleteItem(outline, children[k]) != 0) children[k] = copy;
        }
    }
    ASSERT_NE(SaveOutline(outline, Wide(path).c_str()), 0) << path;
    CloseOutline(outline);
}

std::string BuildWith(bool plain, const ScratchFolder& folder) {
    UsePlainWalksForTesting(plain);
    std::remove(folder.File("built.cmp").c_str());
    uint16_t status = DIF_Build(
        folder.WideFile("version1.outline").c_str(), folder.WideFile("base.outline").c_str(),
        folder.WideFile("built.cmp").c_str(), nullptr, 0, DIF_OPT_FDFM | kContents);
    UsePlainWalksForTesting(false);
    return std::to_string(status) + "\n" + ReadFileBytes(folder.File("built.cmp"));
}

std::string MergeWith(bool plain, const ScratchFolder& folder) {
    UsePlainWalksForTesting(plain);
    std::remove(folder.File("merged.outline").c_str());
    uint16_t conflicts = 0, warnings = 0;
    uint16_t status = DIF_Merge(
        folder.WideFile("base.outline").c_str(), folder.WideFile("version1.outline").c_str(),
        folder.WideFile("version2.outline").c_str(), folder.WideFile("merged.outline").c_str(),
        nullptr, 0, kContents, &conflicts, &warnings);
    UsePlainWalksForTesting(false);
    return std::to_string(status) + " " + std::to_string(conflicts) + " " +
           std::to_string(warnings) + "\n" + ReadFileBytes(folder.File("merged.outline"));
}

// Every key of the list on one side, resolved both ways; "" when they agree.
std::string CompareResolvers(const std::string& outlinePath, uint16_t side) {
    OutlineHandle outline = OpenOutline(Wide(outlinePath).c_str());
    if (outline == 0) return "cannot open " + outlinePath;
    ItemHandle root = GetRootItem(outline);
    std::string difference;
    KeyResolver resolver(outline, root);
    for (int32_t position = 0; position < DIF_CompareCount(u" ", u" "); ++position) {
        DIF_CHAR firstKey[4096] = {}, secondKey[4096] = {}, change[2] = {}, subject[2] = {};
        int32_t value = 0;
        DIF_CompareGet(side, position, firstKey, secondKey, change, subject, &value);
        const WCHAR* key = side == 1 ? firstKey : secondKey;
        if (resolver.Find(key) != FindItemByKey(outline, root, key)) {
            difference = "key " + Narrow(key) + " resolves apart";
            break;
        }
    }
    CloseOutline(outline);
    return difference;
}

}  // namespace

TEST(CorpusDifferential, TablesAndIndexesBuildAndMergeAsThePlainWalksOnRealDocuments) {
    const char* corpus = std::getenv("NORVEX_CORPUS_DIR");
    if (corpus == nullptr) GTEST_SKIP() << "NORVEX_CORPUS_DIR names no corpus";
    std::vector<std::string> documents;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(corpus, ignored)) {
        std::string name = entry.path().filename().string();
        if (entry.path().extension() == ".outline" && name.rfind("scaled-", 0) != 0) {
            documents.push_back(entry.path().string());
        }
    }
    if (documents.empty()) GTEST_SKIP() << "no documents in " << corpus;
    std::sort(documents.begin(), documents.end());
    FixedTimeZone utc("UTC");
    ScratchFolder folder;
    MessageBoxRecorder boxes;
    uint32_t seed = 1;
    for (const std::string& document : documents) {
        SCOPED_TRACE(document);
        WriteFileBytes(folder.File("base.outline"), ReadFileBytes(document));
        WriteVersion(document, folder.File("version1.outline"), seed++);
        WriteVersion(document, folder.File("version2.outline"), seed++);
        std::string plain = BuildWith(true, folder);
        std::string fast = BuildWith(false, folder);
        EXPECT_TRUE(plain == fast) << "the builds differ";
        std::string plainMerge = MergeWith(true, folder);
        std::string fastMerge = MergeWith(false, folder);
        EXPECT_TRUE(plainMerge == fastMerge) << "the merges differ";
        // The viewer's resolution of every key, in the sorted orders.
        uint16_t count = 0;
        ASSERT_NE(DIF_CompareLoad(folder.WideFile("built.cmp").c_str(), &count), 0);
        DIF_CompareSort();
        EXPECT_EQ(CompareResolvers(folder.File("version1.outline"), 1), "");
        EXPECT_EQ(CompareResolvers(folder.File("base.outline"), 2), "");
        DIF_CompareUnload();
    }
}
