// platform/crt_files.cpp
//
// The C runtime's wide-character files, all binary: a character is one UTF-16LE code unit,
// two bytes, low byte first, and line ends pass through untouched. The FILE objects are the
// system's own, so feof and fclose need no stand-ins. Also _wctime64_s and _wtoi.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <ctime>

#include "platform/file_status.h"
#include "platform/platform.h"
#include "platform/utf_conversion.h"
#include "platform/wide_format.h"

namespace {

// Translates a runtime mode ("r", "w" or "a", then "b" and "+" at most once each, in either
// order) into the system's, always binary. Answers false for anything else.
bool TranslateMode(const WCHAR* mode, char* systemMode) {
    if (mode == nullptr) return false;
    if (mode[0] != u'r' && mode[0] != u'w' && mode[0] != u'a') return false;
    bool update = false;
    bool binary = false;
    for (const WCHAR* at = mode + 1; *at != 0; ++at) {
        if (*at == u'+' && !update)
            update = true;
        else if (*at == u'b' && !binary)
            binary = true;
        else
            return false;
    }
    int length = 0;
    systemMode[length++] = static_cast<char>(mode[0]);
    if (update) systemMode[length++] = '+';
    systemMode[length] = 0;
    return true;
}

// Writes code units as UTF-16LE; answers false when the file refused them.
bool WriteUnits(FILE* file, const WCHAR* units, size_t count) {
    unsigned char bytes[512];
    while (count > 0) {
        size_t part = count < sizeof bytes / 2 ? count : sizeof bytes / 2;
        for (size_t k = 0; k < part; ++k) {
            bytes[2 * k] = static_cast<unsigned char>(units[k] & 0xFF);
            bytes[2 * k + 1] = static_cast<unsigned char>(units[k] >> 8);
        }
        if (std::fwrite(bytes, 2, part, file) != part) return false;
        units += part;
        count -= part;
    }
    return true;
}

class FileSink : public WideSink {
public:
    explicit FileSink(FILE* file) : file_(file) {}

    bool Put(const WCHAR* units, size_t count) override {
        if (!WriteUnits(file_, units, count)) return false;
        written_ += count;
        return true;
    }

    size_t written() const { return written_; }

private:
    FILE* file_;
    size_t written_ = 0;
};

}  // namespace

errno_t _wfopen_s(FILE** file, const WCHAR* path, const WCHAR* mode) {
    if (file == nullptr) return errno = EINVAL;
    *file = nullptr;
    char systemMode[4];
    if (path == nullptr || path[0] == 0 || !TranslateMode(mode, systemMode)) {
        return errno = EINVAL;
    }
    Utf8Text systemPath;
    int error = systemPath.Assign(path);
    if (error != 0) return errno = error;
    FILE* opened = std::fopen(systemPath.Get(), systemMode);
    if (opened == nullptr) return errno;
    // The system opens a directory for reading; the runtime never does.
    if (IsDirectoryDescriptor(fileno(opened))) {
        std::fclose(opened);
        return errno = EISDIR;
    }
    *file = opened;
    return 0;
}

WCHAR* fgetws(WCHAR* buffer, int count, FILE* file) {
    if (buffer == nullptr || file == nullptr || count <= 0) return nullptr;
    // Room for the terminator only: nothing can be read, and answering the buffer would let
    // a reading loop spin forever.
    if (count == 1) {
        buffer[0] = 0;
        return nullptr;
    }
    int length = 0;
    // The stream is locked once for the line, not once per byte.
    flockfile(file);
    while (length < count - 1) {
        int low = getc_unlocked(file);
        if (low == EOF) break;
        int high = getc_unlocked(file);
        if (high == EOF) break;  // a lone last byte is the end of the file
        WCHAR unit = static_cast<WCHAR>(low | (high << 8));
        buffer[length++] = unit;
        if (unit == u'\n') break;
    }
    funlockfile(file);
    buffer[length] = 0;
    if (length == 0 || std::ferror(file)) return nullptr;
    return buffer;
}

int fputws(const WCHAR* text, FILE* file) {
    if (text == nullptr || file == nullptr) return -1;
    size_t length = 0;
    while (text[length] != 0) ++length;
    return WriteUnits(file, text, length) ? 0 : -1;
}

std::wint_t fputwc(WCHAR character, FILE* file) {
    if (file == nullptr || !WriteUnits(file, &character, 1)) return WEOF;
    return character;
}

int fwprintf(FILE* file, const WCHAR* format, ...) {
    if (file == nullptr) return -1;
    FileSink sink(file);
    va_list arguments;
    va_start(arguments, format);
    FormatOutcome outcome = FormatWide(sink, format, arguments);
    va_end(arguments);
    if (outcome != FormatOutcome::kDone || sink.written() > static_cast<size_t>(INT_MAX)) {
        return -1;
    }
    return static_cast<int>(sink.written());
}

int _fileno(FILE* file) {
    if (file == nullptr) {
        errno = EINVAL;
        return -1;
    }
    return fileno(file);
}

namespace {

// The runtime's latest time: 23:59:59, 31 December 3000, UTC.
constexpr __time64_t kLatestTime = 32535215999LL;

// Length of "Www Mmm dd hh:mm:ss yyyy\n" with its terminator.
constexpr size_t kTimeTextSize = 26;

const char kDayNames[] = "SunMonTueWedThuFriSat";
const char kMonthNames[] = "JanFebMarAprMayJunJulAugSepOctNovDec";

}  // namespace

errno_t _wctime64_s(WCHAR* buffer, size_t count, const __time64_t* time) {
    if (buffer == nullptr || count == 0) return errno = EINVAL;
    buffer[0] = 0;
    if (count < kTimeTextSize || time == nullptr || *time < 0 || *time > kLatestTime) {
        return errno = EINVAL;
    }
    // tzset first: localtime_r alone may keep a time zone read before TZ changed.
    tzset();
    std::time_t systemTime = static_cast<std::time_t>(*time);
    std::tm local;
    if (localtime_r(&systemTime, &local) == nullptr || local.tm_wday < 0 || local.tm_wday > 6 ||
        local.tm_mon < 0 || local.tm_mon > 11) {
        return errno = EINVAL;
    }
    // The Microsoft C runtime's form, "Wed Jan 02 02:03:55 1980\n": unlike the C standard's
    // asctime, the day of the month is zero-padded, so dates read the same on every system.
    char text[64];
    std::snprintf(text, sizeof text, "%.3s %.3s %.2d %.2d:%.2d:%.2d %d\n",
                  kDayNames + 3 * local.tm_wday, kMonthNames + 3 * local.tm_mon, local.tm_mday,
                  local.tm_hour, local.tm_min, local.tm_sec, 1900 + local.tm_year);
    for (size_t k = 0; k < kTimeTextSize; ++k) buffer[k] = static_cast<WCHAR>(text[k]);
    return 0;
}

int _wtoi(const WCHAR* text) {
    if (text == nullptr) return 0;
    while (*text == u' ' || (*text >= u'\t' && *text <= u'\r')) ++text;
    bool negative = *text == u'-';
    if (*text == u'-' || *text == u'+') ++text;
    // Accumulated as a negative number, whose range reaches INT_MIN.
    long long value = 0;
    for (; *text >= u'0' && *text <= u'9'; ++text) {
        value = value * 10 - (*text - u'0');
        if (value < INT_MIN) return negative ? INT_MIN : INT_MAX;
    }
    if (!negative && value < -static_cast<long long>(INT_MAX)) return INT_MAX;
    return static_cast<int>(negative ? value : -value);
}
