// cli/json_output.h
//
// The command's reports as JSON for programs (diff --json, merge --json, conflicts --json): one
// document on standard output, whose "format" and "version" fields say what it holds
// (docs/json-output.md). Texts are UTF-8; what cannot be, shows as U+FFFD.
#pragma once

#include <nlohmann/json.hpp>

// Prints document, indented by two blanks, and a line end.
void PrintJson(const nlohmann::json& document);
