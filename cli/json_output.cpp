// cli/json_output.cpp: one JSON document on standard output.
#include "cli/json_output.h"

#include <cstdio>
#include <string>

void PrintJson(const nlohmann::json& document) {
    std::string text = document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
}
