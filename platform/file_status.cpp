// platform/file_status.cpp: _fstat64i32 and the other questions that need struct stat.
#include "platform/file_status.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/platform.h"

namespace {

// The C runtime's mode bits: directory, regular file, read, write, execute by the owner.
constexpr uint16_t kModeDirectory = 0x4000;
constexpr uint16_t kModeRegular = 0x8000;
constexpr uint16_t kModeRead = 0x0100;
constexpr uint16_t kModeWrite = 0x0080;
constexpr uint16_t kModeExecute = 0x0040;

uint16_t RuntimeMode(mode_t mode) {
    uint16_t runtimeMode = 0;
    if (S_ISDIR(mode)) runtimeMode |= kModeDirectory;
    if (S_ISREG(mode)) runtimeMode |= kModeRegular;
    if (mode & S_IRUSR) runtimeMode |= kModeRead;
    if (mode & S_IWUSR) runtimeMode |= kModeWrite;
    if (mode & S_IXUSR) runtimeMode |= kModeExecute;
    return runtimeMode;
}

}  // namespace

int _fstat64i32(int descriptor, struct _stat64i32* status) {
    if (status == nullptr) {
        errno = EINVAL;
        return -1;
    }
    struct stat system;
    if (fstat(descriptor, &system) != 0) return -1;
    std::memset(status, 0, sizeof *status);
    status->st_mode = RuntimeMode(system.st_mode);
    status->st_nlink = static_cast<int16_t>(system.st_nlink);
    // Only the low 32 bits of the size survive, as in the runtime's 32-bit-size variant.
    status->st_size = static_cast<int32_t>(static_cast<uint32_t>(system.st_size & 0xFFFFFFFF));
    status->st_atime = system.st_atim.tv_sec;
    status->st_mtime = system.st_mtim.tv_sec;
    status->st_ctime = system.st_ctim.tv_sec;
    return 0;
}

bool IsDirectoryDescriptor(int descriptor) {
    struct stat system;
    return fstat(descriptor, &system) == 0 && S_ISDIR(system.st_mode);
}
