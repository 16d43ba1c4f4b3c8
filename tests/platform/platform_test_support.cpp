// tests/platform/platform_test_support.cpp: scratch folders and byte files for the tests.
#include "tests/platform/platform_test_support.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

ScratchFolder::ScratchFolder() {
    const char* temporary = std::getenv("TMPDIR");
    std::string pattern =
        std::string(temporary != nullptr ? temporary : "/tmp") + "/platform_test_XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no scratch folder");
    path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::u16string ScratchFolder::WidePathOf(const std::string& name) const {
    return Widen(PathOf(name));
}

std::u16string Widen(const std::string& text) {
    std::u16string wide;
    for (unsigned char byte : text) {
        if (byte >= 0x80) throw std::invalid_argument("Widen takes ASCII only");
        wide.push_back(byte);
    }
    return wide;
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}
