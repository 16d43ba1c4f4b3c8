// runtime/outline_file.cpp: reading outline files and replacing them safely.
#include "runtime/outline_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "platform/replacement_file.h"
#include "runtime/outline_parser.h"
#include "runtime/outline_writer.h"
#include "runtime/runtime_tables.h"

namespace brimrt {

namespace {

// Bytes asked of fread at a time.
constexpr size_t kReadChunk = 1 << 20;

// Closes the file on every path out of a function.
class FileHolder {
public:
    explicit FileHolder(FILE* opened) : file(opened) {}
    ~FileHolder() {
        if (file != nullptr) fclose(file);
    }
    FileHolder(const FileHolder&) = delete;
    FileHolder& operator=(const FileHolder&) = delete;
    FILE* file;
};

class FileSink : public ByteSink {
public:
    explicit FileSink(FILE* target) : file(target) {}
    bool Write(const char* data, size_t size) override {
        return fwrite(data, 1, size, file) == size;
    }

private:
    FILE* file;
};

// The lines of the bytes, and how many of them are content lines (their first character after
// the indentation is '@', '%' or '$').
void CountLines(const char* bytes, size_t size, size_t* lines, size_t* contentLines) {
    const char* end = bytes + size;
    for (const char* at = bytes; at < end;) {
        while (at < end && *at == ' ') ++at;
        if (at < end && (*at == '@' || *at == '%' || *at == '$')) ++*contentLines;
        const void* lineFeed = std::memchr(at, '\n', static_cast<size_t>(end - at));
        if (lineFeed == nullptr) break;
        ++*lines;
        at = static_cast<const char*>(lineFeed) + 1;
    }
}

}  // namespace

int ReadOutlineFile(const WCHAR* path, OutlineStore* store, ParseFailure* failure, bool* parsed) {
    *parsed = false;
    FILE* opened = nullptr;
    errno_t error = _wfopen_s(&opened, path, WIDE("rb"));
    if (error != 0 || opened == nullptr) return error != 0 ? error : EIO;
    FileHolder holder(opened);
    struct _stat64i32 status;
    size_t known = 0;  // the size, when the system tells it
    if (_fstat64i32(_fileno(opened), &status) == 0 && status.st_size > 0) {
        known = static_cast<size_t>(status.st_size);
    }
    // The pieces are read into one buffer, which holds the start of a line not yet ended
    // before the bytes that follow it: the file's bytes pass through a few megabytes that
    // stay in the caches, instead of filling fresh memory as large as the file.
    ByteBuffer buffer;
    size_t held = 0, total = 0;
    char first[16];  // enough to tell whether the file begins as an outline
    size_t firstSize = 0;
    OutlineReader reader(store, failure);
    bool reserved = false;
    // A file smaller than a piece is read in one, into a buffer no larger than itself; one
    // byte more than its size shows that it ends there.
    const size_t want = known > 0 ? std::min(kReadChunk, known + 1) : kReadChunk;
    errno = 0;
    for (;;) {
        if (buffer.size() < held + want) buffer.resize(held + want);
        size_t got = fread(buffer.data() + held, 1, want, opened);
        for (size_t k = 0; firstSize < sizeof first && k < got; ++k) {
            first[firstSize++] = buffer[held + k];
        }
        total += got;
        bool last = got < want;
        // A file that does not begin as an outline is not read on once it has grown past its
        // size: its first bytes are enough for the parser's account of the fault, and it may
        // never end (/dev/zero).
        if (!last && total > known && !MayBeginOutline(first, firstSize)) last = true;
        held += got;
        if (!reserved && known > 0) {
            // Each line holds at most one item, and an item's line takes five bytes or more:
            // the item array gets room for twice the items the first piece promises, never
            // more than the file could hold, so that it is not copied while it grows (the room
            // beyond the items is never touched).
            size_t lines = 0, contentLines = 0;
            CountLines(buffer.data(), held, &lines, &contentLines);
            size_t scale = held >= known ? 1 : 2 * (known / held + 1);
            store->ReserveItems(std::min((lines + 1) * scale, known / 5 + 2));
            // Content lines alike; a content line takes five bytes or more too.
            store->ReserveContents(std::min(contentLines * scale, known / 5 + 2));
            reserved = true;
        }
        size_t taken = 0;
        // The first fault ends the read: the rest of the file cannot change the answer.
        if (!reader.Feed(buffer.data(), held, last, &taken)) break;
        if (last) {
            *parsed = true;
            break;
        }
        std::memmove(buffer.data(), buffer.data() + taken, held - taken);
        held -= taken;
    }
    return ferror(opened) != 0 ? (errno != 0 ? errno : EIO) : 0;
}

bool SaveOutlineFile(const OutlineStore& store, const WCHAR* path) {
    ReplacementFile* replacement = BeginReplacement(path);
    if (replacement == nullptr) return false;
    FileSink sink(ReplacementStream(replacement));
    bool written = false;
    try {
        written = WriteOutline(store, &sink);
    } catch (const std::bad_alloc&) {
        ++g_memoryShortages;
        written = false;
    }
    if (!written) {
        AbandonReplacement(replacement);
        return false;
    }
    return CommitReplacement(replacement);
}

}  // namespace brimrt
