// tests/compare/run_side.h
//
// One side of a pairing on plain arrays, for the pairing tests: a section given as its types,
// texts and starting statuses, and the arrays that a pairing fills, made afresh from it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "compare/item_matching.h"

struct SectionShape {
    std::vector<int32_t> types;
    std::vector<std::u16string> texts;
    std::u16string status;  // one letter per item, kStatusUnresolved for a pairing to decide
};

class RunSide {
public:
    explicit RunSide(const SectionShape& shape)
        : types_(shape.types),
          textStore_(shape.texts),
          status_(shape.status),
          match_(shape.types.size(), kNoMatch),
          candidates_(shape.types.size() + 1),
          positions_(shape.types.size() + 1) {
        for (std::u16string& text : textStore_) texts_.push_back(text.data());
        side = {static_cast<int32_t>(types_.size()),
                status_.data(),
                match_.data(),
                types_.data(),
                texts_.data(),
                candidates_.data(),
                0,
                positions_.data()};
    }
    RunSide(const RunSide&) = delete;
    RunSide& operator=(const RunSide&) = delete;

    const std::u16string& Status() const { return status_; }
    const std::vector<int32_t>& Match() const { return match_; }

    PairingSide side;  // points into the arrays below

private:
    std::vector<int32_t> types_;
    std::vector<std::u16string> textStore_;
    std::vector<WCHAR*> texts_;
    std::u16string status_;
    std::vector<int32_t> match_;
    std::vector<int32_t> candidates_, positions_;
};
