// bench/outline_pair_gen.cpp
//
// Writes seeded outline files for timing the command against line tools: one original of a
// realistic application (packages, modules, procedures, routines and loop bodies, six levels
// at most, sections of 5 to 50 children, mostly statements) and any number of edited copies,
// each with its own seed, in which one statement in a hundred is changed, followed by an
// inserted line, left out, or moved further down (possibly into another section).
//
//   outline_pair_gen tree ITEMS SEED ORIGINAL [COPY...]
//   outline_pair_gen siblings ITEMS ORIGINAL COPY     one section of ITEMS statements, 1% edited
//   outline_pair_gen merge-siblings KIND ITEMS SEED ORIGINAL VERSION1 VERSION2
//
// merge-siblings writes one section of ITEMS statements and two versions of it for a merge.
// KIND says what the versions did: "edits", 20 edits in each (texts changed, lines inserted
// and lines deleted, at places of their own); "repeated", the same on a section whose
// statements all read alike; "shuffled", version 1 holds the statements in a random order and
// version 2 has 20 edits; "shuffled-edited", version 1 shuffled with every text edited and
// version 2 with 20 edits.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "bench/outline_shape.h"

namespace {

// A moved statement travels at least this many lines before it lands again, so that most
// moves leave their section.
constexpr size_t kShortestMove = 40;

struct Line {
    int depth;
    int type;
    std::string text;
    bool leaf;  // a statement without children: the only lines an edit touches
};

class TreeWriter {
public:
    explicit TreeWriter(uint32_t seed) : random_(seed) {}

    std::vector<Line> Write(size_t targetItems) {
        Add(0, 1, "Application bench", false);
        size_t modules = targetItems / kItemsPerModule + 1;
        size_t packages = modules > kMostChildren ? (modules + 26) / 27 : 0;
        if (packages == 0) {
            for (int module = 0; lines_.size() < targetItems; ++module) {
                WriteModule(1, module, targetItems);
            }
        } else {
            int module = 0;
            for (size_t package = 0; package < packages; ++package) {
                Add(1, 2, "Package " + std::to_string(package), false);
                size_t packageEnd = targetItems * (package + 1) / packages;
                while (lines_.size() < packageEnd) WriteModule(2, module++, packageEnd);
            }
        }
        return std::move(lines_);
    }

private:
    int Draw(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    void Add(int depth, int type, std::string text, bool leaf) {
        lines_.push_back({depth, type, std::move(text), leaf});
    }
    std::string Statement() { return kStatementForms[Draw(0, 7)] + std::to_string(Draw(0, 999)); }

    void WriteModule(int depth, int module, size_t itemLimit) {
        Add(depth, 2, "Module " + std::to_string(module), false);
        int procedures = Draw(kFewestChildren, kMostChildren);
        for (int procedure = 0; procedure < procedures && lines_.size() < itemLimit; ++procedure) {
            Add(depth + 1, 4,
                "Procedure P" + std::to_string(module) + "_" + std::to_string(procedure), false);
            int children = Draw(kFewestChildren, kMostChildren);
            for (int child = 0; child < children; ++child) {
                int roll = Draw(1, 100);
                if (roll <= 10) {
                    Add(depth + 2, 18, "Routine R" + std::to_string(Draw(0, 9999)), false);
                    WriteBody(depth + 3, true);
                } else if (roll <= 12) {
                    Add(depth + 2, 188, "! note " + std::to_string(Draw(0, 9999)), true);
                } else {
                    Add(depth + 2, 9, Statement(), true);
                }
            }
        }
    }

    void WriteBody(int depth, bool routine) {
        int children = routine ? Draw(kFewestChildren, kMostChildren) : Draw(kFewestChildren, 20);
        for (int child = 0; child < children; ++child) {
            if (routine && Draw(1, 100) <= 7) {
                Add(depth, 9, "LOOP I# = 1 TO " + std::to_string(Draw(2, 99)), false);
                WriteBody(depth + 1, false);
            } else {
                Add(depth, 9, Statement(), true);
            }
        }
    }

    std::mt19937 random_;
    std::vector<Line> lines_;
};

void WriteLine(std::ofstream& out, const Line& line) {
    out << std::string(2 * line.depth, ' ') << line.type << " \"" << line.text << "\"\n";
}

// Writes a copy of the original with one leaf in a hundred edited. A moved leaf lands after a
// later leaf of the same depth, where the grammar lets it stand.
void WriteEditedCopy(const std::vector<Line>& original, uint32_t seed, const char* path) {
    std::mt19937 random(seed);
    auto draw = [&](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    std::ofstream out(path, std::ios::binary);
    out << "OUTLINE 1\n";
    const Line* moving = nullptr;
    size_t movedAt = 0;
    for (size_t k = 0; k < original.size(); ++k) {
        const Line& line = original[k];
        bool edit = line.leaf && line.type == 9 && moving == nullptr &&
                    std::uniform_real_distribution<double>(0, 1)(random) < kEditShare;
        if (!edit) {
            WriteLine(out, line);
            if (moving != nullptr && line.leaf && line.depth == moving->depth &&
                k - movedAt >= kShortestMove) {
                WriteLine(out, *moving);
                moving = nullptr;
            }
            continue;
        }
        int kind = draw(1, 10);
        if (kind <= 7) {
            WriteLine(out, {line.depth, line.type, line.text + " ! edited", true});
        } else if (kind == 8) {
            WriteLine(out, line);
            WriteLine(out, {line.depth, 9, "Loc:Inserted = " + std::to_string(draw(0, 999)), true});
        } else if (kind == 9) {
            moving = &line;
            movedAt = k;
        }
        // Otherwise the line is deleted: the copy lacks it.
    }
    if (moving != nullptr) WriteLine(out, *moving);
}

void WriteSiblings(size_t count, const char* originalPath, const char* copyPath) {
    std::ofstream original(originalPath, std::ios::binary);
    std::ofstream copy(copyPath, std::ios::binary);
    for (std::ofstream* out : {&original, &copy}) {
        *out << "OUTLINE 1\n1 \"Application bench\"\n  4 \"Procedure Long\"\n";
    }
    for (size_t line = 1; line <= count; ++line) {
        std::string text =
            "Line " + std::to_string(line) + ": total += " + std::to_string(line % 977);
        original << "    9 \"" << text << "\"\n";
        copy << "    9 \"" << text << (line % 100 == 0 ? " * rate" : "") << "\"\n";
    }
}

// The statements of a long section: unique texts, or (repeated) one text for all.
std::vector<std::string> SectionTexts(size_t count, bool repeated) {
    std::vector<std::string> texts;
    texts.reserve(count);
    for (size_t line = 1; line <= count; ++line) {
        texts.push_back(repeated ? std::string("Loc:Total += Loc:Rate")
                                 : "Line " + std::to_string(line) +
                                       ": total += " + std::to_string(line % 977));
    }
    return texts;
}

void WriteSection(const std::vector<std::string>& texts, const char* path) {
    std::ofstream out(path, std::ios::binary);
    out << "OUTLINE 1\n1 \"Application bench\"\n  4 \"Procedure Long\"\n";
    for (const std::string& text : texts) out << "    9 \"" << text << "\"\n";
}

// kSiblingEdits edits at the places of picks: a text changed, a line inserted after, or the
// line deleted, in turn. Places are drawn apart from those in taken, and added to it.
constexpr int kSiblingEdits = 20;

std::vector<std::string> EditSection(std::vector<std::string> texts, std::mt19937& random,
                                     std::vector<bool>& taken, int version) {
    std::vector<size_t> places;
    while (places.size() < static_cast<size_t>(kSiblingEdits)) {
        size_t place = std::uniform_int_distribution<size_t>(0, texts.size() - 1)(random);
        if (taken[place]) continue;
        taken[place] = true;
        places.push_back(place);
    }
    // From the back, so that an insertion or a deletion does not move the places still to come.
    std::sort(places.rbegin(), places.rend());
    for (size_t k = 0; k < places.size(); ++k) {
        size_t place = places[k];
        std::string mark = " ! version " + std::to_string(version);
        switch (k % 3) {
        case 0: texts[place] += mark; break;
        case 1:
            texts.insert(texts.begin() + static_cast<long>(place) + 1,
                         "Loc:Inserted = " + std::to_string(place) + mark);
            break;
        default: texts.erase(texts.begin() + static_cast<long>(place)); break;
        }
    }
    return texts;
}

int WriteMergeSiblings(const std::string& kind, size_t count, uint32_t seed, char** paths) {
    bool repeated = kind == "repeated";
    if (count < 2 * kSiblingEdits ||
        (kind != "edits" && !repeated && kind != "shuffled" && kind != "shuffled-edited")) {
        return 2;
    }
    std::mt19937 random(seed);
    std::vector<std::string> original = SectionTexts(count, repeated);
    std::vector<bool> taken(count, false);
    std::vector<std::string> version1, version2;
    if (kind == "edits" || repeated) {
        version1 = EditSection(original, random, taken, 1);
    } else {
        version1 = original;
        std::shuffle(version1.begin(), version1.end(), random);
        if (kind == "shuffled-edited") {
            for (std::string& text : version1) text += " * rate";
        }
    }
    version2 = EditSection(original, random, taken, 2);
    WriteSection(original, paths[0]);
    WriteSection(version1, paths[1]);
    WriteSection(version2, paths[2]);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "tree" && argc >= 5) {
        size_t items = std::strtoull(argv[2], nullptr, 10);
        uint32_t seed = static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10));
        std::vector<Line> original = TreeWriter(seed).Write(items);
        std::ofstream out(argv[4], std::ios::binary);
        out << "OUTLINE 1\n";
        for (const Line& line : original) WriteLine(out, line);
        for (int copy = 5; copy < argc; ++copy) {
            WriteEditedCopy(original, seed * 31 + static_cast<uint32_t>(copy), argv[copy]);
        }
        return 0;
    }
    if (mode == "siblings" && argc == 5) {
        WriteSiblings(std::strtoull(argv[2], nullptr, 10), argv[3], argv[4]);
        return 0;
    }
    if (mode == "merge-siblings" && argc == 8 &&
        WriteMergeSiblings(argv[2], std::strtoull(argv[3], nullptr, 10),
                           static_cast<uint32_t>(std::strtoul(argv[4], nullptr, 10)),
                           argv + 5) == 0) {
        return 0;
    }
    std::cerr << "usage: outline_pair_gen tree ITEMS SEED ORIGINAL [COPY...]\n"
                 "       outline_pair_gen siblings ITEMS ORIGINAL COPY\n"
                 "       outline_pair_gen merge-siblings edits|repeated|shuffled|shuffled-edited"
                 " ITEMS SEED ORIGINAL VERSION1 VERSION2\n";
    return 2;
}
