// cli/compare_file_check.h
//
// What `apply` and `show` make sure of before they hand a compare file to the library, which
// takes any file it is given: a file that is not a compare file reads as an empty comparison
// (and an apply of it reports success), and a key whose ordinals are not three digits each
// names a wrong item or none. The command refuses such a file with one line that says why.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/brimrt63.h"

// What a compare file's header and records tell, as far as the command needs it.
struct CompareFileFacts {
    std::string kind;       // "RDFC", "RDFA" or "FDFM"
    std::string firstName;  // the comparison's first outline as the header names it
    int64_t firstSize = 0;
    bool firstSizeKnown = false;
    std::string firstTime;  // its time of last change, as the header records it
    // The second outline of the comparison (the one an apply patches) as the header records
    // it; secondSizeKnown is false when the header names no file of known size (a comparison
    // of items built inside a host records the name "cmpnt" and no date).
    std::string secondName;
    int64_t secondSize = 0;
    bool secondSizeKnown = false;
    uint64_t records = 0;
};

// True when key is "001" followed by three digits per level, none of them 000: a key the
// library's readers can take apart. A section's 1000th and later items have longer ordinals.
bool IsThreeDigitPath(const std::string& key);

// Reads the compare file at path through. Answers an empty text when it is a well-formed
// compare file whose every key is a path of three-digit ordinals, otherwise why not (a
// sentence that names the file); facts holds what was read up to there.
std::string CheckCompareFile(const std::string& path, CompareFileFacts& facts);
