// runtime/outline_file.cpp: reading outline files and replacing them safely.
#include "runtime/outline_file.h"

#include <new>
#include <random>

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
    // Closes now and answers whether the close succeeded (it flushes what is left).
    bool Close() {
        FILE* closing = file;
        file = nullptr;
        return fclose(closing) == 0;
    }
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

uint64_t g_temporaryCount = 0;

}  // namespace

bool ReadFileBytes(const WCHAR* path, ByteBuffer* bytes) {
    FILE* opened = nullptr;
    if (_wfopen_s(&opened, path, WIDE("rb")) != 0 || opened == nullptr) return false;
    FileHolder holder(opened);
    // The size, when known, lets the whole file arrive in one read into one allocation.
    struct _stat64i32 status;
    size_t want = kReadChunk;
    if (_fstat64i32(_fileno(opened), &status) == 0 && status.st_size > 0) {
        want = static_cast<size_t>(status.st_size) + 1;
    }
    size_t used = 0;
    for (;;) {
        bytes->resize(used + want);
        size_t got = fread(bytes->data() + used, 1, want, opened);
        used += got;
        if (got < want) break;
        want = kReadChunk;
    }
    bool failed = ferror(opened) != 0;
    bytes->resize(used);
    return !failed;
}

WideText MakeTemporaryName(const WCHAR* target) {
    uint32_t random = 0;
    try {
        std::random_device device;
        random = device();
    } catch (...) {
        random = 0;  // the process-wide count alone still keeps this process's names apart
    }
    uint64_t count = ++g_temporaryCount;
    const char hex[] = "0123456789abcdef";
    WideText name = target;
    name += WIDE(".~");
    for (int shift = 28; shift >= 0; shift -= 4) name.push_back(static_cast<WCHAR>(hex[(random >> shift) & 0xF]));
    name.push_back(WIDE('-'));
    do {
        name.push_back(static_cast<WCHAR>(hex[count & 0xF]));
        count >>= 4;
    } while (count != 0);
    name += WIDE(".tmp");
    return name;
}

bool SaveOutlineFile(const OutlineStore& store, const WCHAR* path) {
    WideText temporary = MakeTemporaryName(path);
    FILE* opened = nullptr;
    if (_wfopen_s(&opened, temporary.c_str(), WIDE("wb")) != 0 || opened == nullptr) return false;
    FileHolder holder(opened);
    FileSink sink(opened);
    bool written = false;
    try {
        written = WriteOutline(store, &sink);
    } catch (const std::bad_alloc&) {
        ++g_memoryShortages;
        written = false;
    }
    written = written && fflush(opened) == 0;
    written = holder.Close() && written;
    if (written && MoveFileExW(temporary.c_str(), path, MOVEFILE_REPLACE_EXISTING)) return true;
    DeleteFileW(temporary.c_str());
    return false;
}

}  // namespace brimrt
