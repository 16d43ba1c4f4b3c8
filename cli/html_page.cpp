// cli/html_page.cpp: escaping, the word comparison, the row tree and the page file.
#include "cli/html_page.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>

#include "cli/terminal_text.h"
#include "platform/replacement_file.h"

namespace fs = std::filesystem;

namespace {

#include "cli/report_assets.inc"

}  // namespace

std::string EscapeHtml(const std::string& text) {
    std::string html;
    html.reserve(text.size() + text.size() / 8);
    for (char letter : text) {
        unsigned char code = static_cast<unsigned char>(letter);
        switch (letter) {
        case '&': html += "&amp;"; break;
        case '<': html += "&lt;"; break;
        case '>': html += "&gt;"; break;
        case '"': html += "&quot;"; break;
        case '\'': html += "&#39;"; break;
        default:
            if ((code < 0x20 && letter != '\t' && letter != '\n') || code == 0x7F) {
                char shown[8];
                std::snprintf(shown, sizeof shown, "\\u%04X", code);
                html += shown;
            } else {
                html.push_back(letter);
            }
        }
    }
    return html;
}

WordDiff DiffWords(const std::string& oldText, const std::string& newText) {
    // Each side's HTML: kept words plain, its own changes marked.
    WordRuns runs = CompareWords(oldText, newText);
    WordDiff diff;
    for (const WordRun& run : runs.oldRuns) {
        diff.oldHtml +=
            run.changed ? "<del>" + EscapeHtml(run.text) + "</del>" : EscapeHtml(run.text);
    }
    for (const WordRun& run : runs.newRuns) {
        diff.newHtml +=
            run.changed ? "<ins>" + EscapeHtml(run.text) + "</ins>" : EscapeHtml(run.text);
    }
    return diff;
}

namespace {

// The deepest level that the page's style indents by its own step.
constexpr int kDeepestIndent = 24;

}  // namespace

void PageTree::Add(const PageRow& row) {
    while (!openDepths_.empty() && openDepths_.back() >= row.depth) {
        html_ += "</details>\n";
        openDepths_.pop_back();
    }
    std::string attributes = " class=\"row";
    if (!row.classes.empty()) attributes += " " + row.classes;
    if (row.stop) attributes += " stop";
    attributes += "\"";
    // The depth (the deepest share one), for a page that indents cells, not rows.
    if (row.depth > 0) {
        attributes += " data-d=\"" + std::to_string(std::min(row.depth, kDeepestIndent)) + "\"";
    }
    if (!row.id.empty()) attributes += " id=\"" + EscapeHtml(row.id) + "\"";
    if (row.stop) attributes += " tabindex=\"-1\"";
    if (row.hasChildren) {
        html_ += row.open ? "<details open>" : "<details>";
        html_ += "<summary" + attributes + ">" + row.contentHtml + "</summary>\n";
        openDepths_.push_back(row.depth);
    } else {
        html_ += "<div" + attributes + ">" + row.contentHtml + "</div>\n";
    }
    ++rowCount_;
}

std::string PageTree::Finish() {
    while (!openDepths_.empty()) {
        html_ += "</details>\n";
        openDepths_.pop_back();
    }
    std::string html;
    html.swap(html_);
    rowCount_ = 0;
    return html;
}

namespace {

// SHA-256 as FIPS 180-4 gives it, for the digests that the page's policy names.
class Sha256 {
public:
    explicit Sha256(const std::string& bytes) {
        std::string message = bytes;
        uint64_t bits = static_cast<uint64_t>(bytes.size()) * 8;
        message.push_back(static_cast<char>(0x80));
        while (message.size() % 64 != 56) message.push_back('\0');
        for (int shift = 56; shift >= 0; shift -= 8) {
            message.push_back(static_cast<char>((bits >> shift) & 0xFF));
        }
        for (size_t block = 0; block < message.size(); block += 64) Compress(&message[block]);
    }
    std::string Digest() const {
        std::string digest;
        for (uint32_t word : state_) {
            for (int shift = 24; shift >= 0; shift -= 8) {
                digest.push_back(static_cast<char>((word >> shift) & 0xFF));
            }
        }
        return digest;
    }

private:
    static uint32_t Rotate(uint32_t value, int count) {
        return (value >> count) | (value << (32 - count));
    }
    void Compress(const char* block) {
        static const uint32_t kRound[64] = {
            0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4,
            0xab1c5ed5, 0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe,
            0x9bdc06a7, 0xc19bf174, 0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f,
            0x4a7484aa, 0x5cb0a9dc, 0x76f988da, 0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7,
            0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967, 0x27b70a85, 0x2e1b2138, 0x4d2c6dfc,
            0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85, 0xa2bfe8a1, 0xa81a664b,
            0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070, 0x19a4c116,
            0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
            0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7,
            0xc67178f2};
        uint32_t schedule[64];
        for (int k = 0; k < 16; ++k) {
            schedule[k] = 0;
            for (int b = 0; b < 4; ++b) {
                schedule[k] = (schedule[k] << 8) | static_cast<unsigned char>(block[k * 4 + b]);
            }
        }
        for (int k = 16; k < 64; ++k) {
            uint32_t s0 = Rotate(schedule[k - 15], 7) ^ Rotate(schedule[k - 15], 18) ^
                          (schedule[k - 15] >> 3);
            uint32_t s1 =
                Rotate(schedule[k - 2], 17) ^ Rotate(schedule[k - 2], 19) ^ (schedule[k - 2] >> 10);
            schedule[k] = schedule[k - 16] + s0 + schedule[k - 7] + s1;
        }
        uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
        uint32_t e = state_[4], f = state_[5], g = state_[6], h = state_[7];
        for (int k = 0; k < 64; ++k) {
            uint32_t t1 = h + (Rotate(e, 6) ^ Rotate(e, 11) ^ Rotate(e, 25)) +
                          ((e & f) ^ (~e & g)) + kRound[k] + schedule[k];
            uint32_t t2 =
                (Rotate(a, 2) ^ Rotate(a, 13) ^ Rotate(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
            h = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + t2;
        }
        state_[0] += a;
        state_[1] += b;
        state_[2] += c;
        state_[3] += d;
        state_[4] += e;
        state_[5] += f;
        state_[6] += g;
        state_[7] += h;
    }

    uint32_t state_[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                          0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
};

std::string Base64(const std::string& bytes) {
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (size_t k = 0; k < bytes.size(); k += 3) {
        uint32_t group = static_cast<unsigned char>(bytes[k]) << 16;
        if (k + 1 < bytes.size()) group |= static_cast<unsigned char>(bytes[k + 1]) << 8;
        if (k + 2 < bytes.size()) group |= static_cast<unsigned char>(bytes[k + 2]);
        text.push_back(kAlphabet[(group >> 18) & 63]);
        text.push_back(kAlphabet[(group >> 12) & 63]);
        text.push_back(k + 1 < bytes.size() ? kAlphabet[(group >> 6) & 63] : '=');
        text.push_back(k + 2 < bytes.size() ? kAlphabet[group & 63] : '=');
    }
    return text;
}

}  // namespace

std::string ContentDigest(const std::string& text) { return Base64(Sha256(text).Digest()); }

std::string AssemblePage(const std::string& title, const std::string& bodyHtml) {
    // Nothing but the one style and the one script, each named by its digest: no network, no
    // other script, no event handler attribute, no frame, no form.
    std::string policy = "default-src 'none'; style-src 'sha256-" + ContentDigest(kReportStyle) +
                         "'; script-src 'sha256-" + ContentDigest(kReportScript) +
                         "'; img-src 'none'; form-action 'none'; base-uri 'none'";
    std::string page = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
    page += "<meta http-equiv=\"Content-Security-Policy\" content=\"" + policy + "\">\n";
    page += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
    page += "<title>" + EscapeHtml(title) + "</title>\n";
    page += std::string("<style>") + kReportStyle + "</style>\n</head>\n";
    page += bodyHtml;
    page += std::string("<script>") + kReportScript + "</script>\n</body>\n</html>\n";
    return page;
}

bool WritePageFile(const std::string& path, const std::string& bytes, std::string* error) {
    std::error_code status;
    fs::path target = fs::absolute(path, status);
    if (status) target = path;
    fs::file_status existing = fs::status(target, status);
    if (fs::exists(existing) && !fs::is_regular_file(existing)) {
        *error = "cannot write the report " + path + ": it is not a plain file";
        return false;
    }
    ReplacementFile* page = BeginReplacement(WideFromName(target.string()).c_str());
    // A write that fails leaves the stream's error state set, and the commit then fails.
    if (page != nullptr) std::fwrite(bytes.data(), 1, bytes.size(), ReplacementStream(page));
    if (page == nullptr || !CommitReplacement(page)) {
        *error = "cannot write the report " + path;
        return false;
    }
    return true;
}
