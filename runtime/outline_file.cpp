// runtime/outline_file.cpp: reading outline files and replacing them safely.
#include "runtime/outline_file.h"

#include <cerrno>
#include <new>

#include "platform/replacement_file.h"
#include "runtime/outline_parser.h"
#include "runtime/outline_writer.h"
#include "runtime/runtime_tables.h"

namespace brimrt {

namespace {

// Bytes asked of fread at a time once the size hint is used up.
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

}  // namespace

int ReadFileBytes(const WCHAR* path, ByteBuffer* bytes) {
    FILE* opened = nullptr;
    errno_t error = _wfopen_s(&opened, path, WIDE("rb"));
    if (error != 0 || opened == nullptr) return error != 0 ? error : EIO;
    FileHolder holder(opened);
    // The size, when known, lets the whole file arrive in one read into one allocation.
    struct _stat64i32 status;
    size_t want = kReadChunk;
    if (_fstat64i32(_fileno(opened), &status) == 0 && status.st_size > 0) {
        want = static_cast<size_t>(status.st_size) + 1;
    }
    size_t used = 0;
    errno = 0;
    for (;;) {
        bytes->resize(used + want);
        size_t got = fread(bytes->data() + used, 1, want, opened);
        used += got;
        if (got < want) break;
        // A file that does not begin as an outline is not read on: its first bytes are
        // enough for the parser's account of the fault, and it may never end (/dev/zero).
        if (!MayBeginOutline(bytes->data(), used)) break;
        want = kReadChunk;
    }
    int failure = ferror(opened) != 0 ? (errno != 0 ? errno : EIO) : 0;
    bytes->resize(used);
    return failure;
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
