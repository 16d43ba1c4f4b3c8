// platform/replacement_file.cpp: replacing a file whole on a POSIX system.
//
// The temporary is made with O_CREAT | O_EXCL, so that two writers can never share one: each
// process names its temporaries by its process id and a random number, and a name that is
// taken all the same (by a writer on another machine sharing the folder, or by a leftover of
// a process that died) is refused by the system and another is drawn. rename() over the
// target is atomic within one folder, which is why the temporary goes to the folder of the
// file finally replaced, not of a link that names it.
#include "platform/replacement_file.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/pending_removals.h"
#include "platform/utf_conversion.h"

struct ReplacementFile {
    FILE* stream;
    char* targetPath;     // the file replaced: the end of any chain of links at the path
    char* temporaryPath;  // beside it
    int pendingSlot;      // the temporary among the paths an interrupt removes
};

namespace {

// The links one path may pass through before it counts as a loop: the system's own limit.
constexpr int kMaxLinkDepth = 40;
// Names drawn before giving up on a folder where each is taken: far more than two writers,
// or any number of leftovers, can take by chance.
constexpr int kMaxNameAttempts = 100;
// The temporary of a file that exists is readable by its owner only until it is complete and
// has been given the mode of the file it replaces.
constexpr mode_t kPrivateMode = 0600;
// A new file gets what the umask leaves of this, as any program's new file does.
constexpr mode_t kNewFileMode = 0666;

// folder (its first folderLength bytes) and name joined, in memory from malloc; null when none.
char* JoinPath(const char* folder, size_t folderLength, const char* name, size_t nameLength) {
    char* joined = static_cast<char*>(std::malloc(folderLength + nameLength + 1));
    if (joined == nullptr) return nullptr;
    std::memcpy(joined, folder, folderLength);
    std::memcpy(joined + folderLength, name, nameLength);
    joined[folderLength + nameLength] = 0;
    return joined;
}

// The length of path's folder part, its last slash included; 0 when it has none.
size_t FolderLength(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash != nullptr ? static_cast<size_t>(slash - path) + 1 : 0;
}

// What the link at path names, as a path usable from here: a relative link counts from the
// folder that holds the link. Null with errno when it cannot be read or no memory is left.
char* ReadLinkTarget(const char* path, size_t sizeHint) {
    size_t size = sizeHint + 1 > 64 ? sizeHint + 1 : 64;
    for (;;) {
        char* link = static_cast<char*>(std::malloc(size));
        if (link == nullptr) {
            errno = ENOMEM;
            return nullptr;
        }
        ssize_t length = readlink(path, link, size);
        if (length < 0) {
            std::free(link);
            return nullptr;
        }
        // A link that filled the buffer may be longer (it can change between lstat and here).
        if (static_cast<size_t>(length) < size) {
            char* usable = link[0] == '/' ? JoinPath("", 0, link, static_cast<size_t>(length))
                                          : JoinPath(path, FolderLength(path), link,
                                                     static_cast<size_t>(length));
            std::free(link);
            if (usable == nullptr) errno = ENOMEM;
            return usable;
        }
        std::free(link);
        size *= 2;
    }
}

// Follows path through its symbolic links to the file they finally name, which need not exist
// (a link to a new file makes that file). Answers it in memory from malloc with *status its
// lstat (st_mode 0 when nothing is there), or null with errno set.
char* FollowLinks(const char* path, struct stat* status) {
    char* current = JoinPath("", 0, path, std::strlen(path));
    if (current == nullptr) {
        errno = ENOMEM;
        return nullptr;
    }
    for (int depth = 0;; ++depth) {
        if (lstat(current, status) != 0) {
            // Nothing there yet: the file will be made. Any other refusal (a component that is
            // a file, a folder closed to us) is the answer.
            if (errno != ENOENT) break;
            std::memset(status, 0, sizeof *status);
            return current;
        }
        if (!S_ISLNK(status->st_mode)) return current;
        if (depth == kMaxLinkDepth) {
            errno = ELOOP;
            break;
        }
        char* next = ReadLinkTarget(current, static_cast<size_t>(status->st_size));
        if (next == nullptr) break;
        std::free(current);
        current = next;
    }
    int error = errno;
    std::free(current);
    errno = error;
    return nullptr;
}

// A number that another process is unlikely to draw at the same moment.
uint32_t DrawNumber() {
    uint32_t number = 0;
    if (getrandom(&number, sizeof number, GRND_NONBLOCK) == static_cast<ssize_t>(sizeof number)) {
        return number;
    }
    // No entropy to be had: the clock and a count still differ from call to call.
    static std::atomic<uint32_t> count{0};
    struct timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<uint32_t>(now.tv_nsec) ^ static_cast<uint32_t>(now.tv_sec) * 2654435761u ^
           (count.fetch_add(1) << 16);
}

// Creates target + ".~<process id>-<random>" exclusively with mode and answers its descriptor,
// with *temporary its name in memory from malloc; -1 with errno set when none could be made.
int CreateTemporary(const char* target, mode_t mode, char** temporary) {
    size_t targetLength = std::strlen(target);
    for (int attempt = 0; attempt < kMaxNameAttempts; ++attempt) {
        char suffix[32];
        int suffixLength = std::snprintf(suffix, sizeof suffix, ".~%x-%08x",
                                         static_cast<unsigned>(getpid()), DrawNumber());
        char* name = JoinPath(target, targetLength, suffix, static_cast<size_t>(suffixLength));
        if (name == nullptr) {
            errno = ENOMEM;
            return -1;
        }
        int descriptor = open(name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (descriptor >= 0) {
            *temporary = name;
            return descriptor;
        }
        int error = errno;
        std::free(name);
        errno = error;
        if (error != EEXIST) return -1;
    }
    return -1;
}

void ReleaseReplacement(ReplacementFile* file) {
    ForgetPath(file->pendingSlot);
    std::free(file->targetPath);
    std::free(file->temporaryPath);
    std::free(file);
}

// Gives the temporary (open as descriptor) the owner, group and mode bits of the file it
// replaces, as far as we may: only the superuser gives a file away, and a group can be set
// only to one of ours. When the group cannot be kept, the group's bits become those that
// everyone else had, so that no group reads the new file that could not read the old one.
// The mode is set last, because a change of owner clears the set-user-ID bits.
void KeepAttributes(int descriptor, const struct stat& replaced) {
    mode_t mode = replaced.st_mode & 07777;
    struct stat made;
    if (fstat(descriptor, &made) == 0 &&
        (made.st_uid != replaced.st_uid || made.st_gid != replaced.st_gid)) {
        bool groupKept = fchown(descriptor, replaced.st_uid, replaced.st_gid) == 0 ||
                         fchown(descriptor, static_cast<uid_t>(-1), replaced.st_gid) == 0;
        if (!groupKept) mode = (mode & ~static_cast<mode_t>(070)) | ((mode & 07) << 3);
    }
    fchmod(descriptor, mode);  // best effort: the contents are right either way
}

}  // namespace

ReplacementFile* BeginReplacement(const WCHAR* path) {
    if (path == nullptr || path[0] == 0) {
        errno = EINVAL;
        return nullptr;
    }
    Utf8Text systemPath;
    int error = systemPath.Assign(path);
    if (error != 0) {
        errno = error;
        return nullptr;
    }
    struct stat status;
    char* target = FollowLinks(systemPath.Get(), &status);
    if (target == nullptr) return nullptr;
    // A folder, a device or a pipe stays what it is: the output could never take its place.
    if (status.st_mode != 0 && !S_ISREG(status.st_mode)) {
        std::free(target);
        errno = S_ISDIR(status.st_mode) ? EISDIR : EACCES;
        return nullptr;
    }
    ReplacementFile* file = static_cast<ReplacementFile*>(std::calloc(1, sizeof(ReplacementFile)));
    if (file == nullptr) {
        std::free(target);
        errno = ENOMEM;
        return nullptr;
    }
    file->targetPath = target;
    file->pendingSlot = -1;
    int descriptor = CreateTemporary(target, status.st_mode != 0 ? kPrivateMode : kNewFileMode,
                                     &file->temporaryPath);
    if (descriptor < 0) {
        error = errno;
        ReleaseReplacement(file);
        errno = error;
        return nullptr;
    }
    file->pendingSlot = RememberPath(file->temporaryPath, false);
    file->stream = fdopen(descriptor, "wb");
    if (file->stream == nullptr) {
        error = errno;
        close(descriptor);
        unlink(file->temporaryPath);
        ReleaseReplacement(file);
        errno = error;
        return nullptr;
    }
    return file;
}

FILE* ReplacementStream(const ReplacementFile* file) {
    return file != nullptr ? file->stream : nullptr;
}

bool CommitReplacement(ReplacementFile* file) {
    if (file == nullptr) return false;
    // A write that failed (a full disk) shows in the stream's error state or at the flush.
    bool written = ferror(file->stream) == 0;
    if (fflush(file->stream) != 0) written = false;
    // What stands at the target now decides: it may have changed while the output was made.
    struct stat replaced;
    if (lstat(file->targetPath, &replaced) == 0) {
        if (!S_ISREG(replaced.st_mode)) written = false;
        if (written) KeepAttributes(fileno(file->stream), replaced);
    }
    if (fclose(file->stream) != 0) written = false;
    if (written) written = rename(file->temporaryPath, file->targetPath) == 0;
    int error = errno;
    if (!written) unlink(file->temporaryPath);
    ReleaseReplacement(file);
    errno = error;
    return written;
}

void AbandonReplacement(ReplacementFile* file) {
    if (file == nullptr) return;
    fclose(file->stream);
    unlink(file->temporaryPath);
    ReleaseReplacement(file);
}
