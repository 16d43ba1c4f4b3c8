// tests/cli/command_runner.h
//
// Runs shell lines (the built norvex among them) in a folder and keeps what they printed and their
// exit status, and reviewed expected texts, for the command tests; scratch folders and whole
// files are the shared ones of tests/helpers.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/helpers/test_support.h"

struct CommandResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs `shell` with sh in folder; standard output and error are caught in files there.
inline CommandResult RunShell(const std::string& folder, const std::string& shell) {
    std::string out = folder + "/.stdout", err = folder + "/.stderr";
    std::string line = "cd '" + folder + "' && { " + shell + " ; } >'" + out + "' 2>'" + err + "'";
    int raw = std::system(line.c_str());
    CommandResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = ReadFileBytes(out);
    result.err = ReadFileBytes(err);
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return result;
}

// Compares actual with the reviewed file at path; a missing one is written for review and the
// check fails, so that a person reads it before it counts.
inline void ExpectReviewedText(const std::string& path, const std::string& actual) {
    if (!std::filesystem::exists(path)) {
        WriteFileBytes(path, actual);
        ADD_FAILURE() << "wrote " << path << " for review";
        return;
    }
    EXPECT_EQ(actual, ReadFileBytes(path)) << path;
}
