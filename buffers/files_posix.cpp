// The file layer on POSIX: open/read/write/lseek/close/unlink with errno mapped onto the result
// codes, fixed names c:\NAME mapped into the directory standing for drive C, and an exclusive
// advisory lock standing in for an open without sharing.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "base/results.h"
#include "buffers/files.h"

namespace {

constexpr int32_t kNameCapacity = 4096;

bool IsFixedName(const char* name) {
    return (name[0] == 'c' || name[0] == 'C') && name[1] == ':' && name[2] == '\\';
}

// Appends `text` at `length`; false when it does not fit with its terminator.
bool Append(char* out, int32_t capacity, int32_t* length, const char* text) {
    size_t size = std::strlen(text);
    if (size + 1 > size_t(capacity - *length)) return false;
    std::memcpy(out + *length, text, size + 1);
    *length += int32_t(size);
    return true;
}

// The directory standing for drive C.
bool DriveDirectory(char* out, int32_t capacity) {
    int32_t length = 0;
    out[0] = 0;
    const char* drive = std::getenv("VARNO_DRIVE_C");
    if (drive && drive[0]) return Append(out, capacity, &length, drive);
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && data[0]) {
        return Append(out, capacity, &length, data) &&
               Append(out, capacity, &length, "/varno/drive_c");
    }
    const char* home = std::getenv("HOME");
    if (!home || !home[0]) {
        const passwd* user = getpwuid(getuid());
        home = user && user->pw_dir ? user->pw_dir : "/tmp";
    }
    return Append(out, capacity, &length, home) &&
           Append(out, capacity, &length, "/.local/share/varno/drive_c");
}

// Creates `directory` and its missing parents; failures show up when the file is created.
void EnsureDirectory(const char* directory) {
    char partial[kNameCapacity];
    size_t length = std::strlen(directory);
    if (length == 0 || length >= sizeof partial) return;
    std::memcpy(partial, directory, length + 1);
    for (size_t i = 1; i <= length; ++i) {
        if (partial[i] == '/' || partial[i] == 0) {
            char saved = partial[i];
            partial[i] = 0;
            mkdir(partial, 0777);
            partial[i] = saved;
        }
    }
}

int ToDescriptor(FileHandle handle) {
    return handle >= 0 && handle <= 0x7FFFFFFF ? int(handle) : -1;
}

// Only regular files are files: a FIFO, a device, a socket or a directory at a file's name is
// never read or written (a FIFO or a terminal would wait for ever, a device never ends).
bool RegularFile(int fd) {
    struct stat info;
    return fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
}

// Another opener holds the file exclusively: the stand-in for a Windows sharing violation.
bool LockedElsewhere(const char* path) {
    int fd = open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return false;
    bool locked = flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    close(fd);
    return locked;
}

}  // namespace

int16_t MapFixedName(const char* name, char* mapped, int32_t capacity, char* directory) {
    if (directory) directory[0] = 0;
    if (!name || !mapped || capacity < 1) return kErrBadName;
    mapped[0] = 0;
    int32_t length = 0;
    if (!IsFixedName(name)) return Append(mapped, capacity, &length, name) ? kNoErr : kErrBadName;
    if (!DriveDirectory(mapped, capacity)) return kErrBadName;
    if (directory) CopyTextBounded(mapped, directory, capacity);
    length = int32_t(std::strlen(mapped));
    return Append(mapped, capacity, &length, "/") && Append(mapped, capacity, &length, name + 3) ? 0
                                                                                                 : kErrBadName;
}

bool OpenRetriesReadOnly(int32_t error) {
    return error == EACCES || error == EPERM || error == EROFS || error == ETXTBSY;
}

int16_t MapOpenError(int32_t error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return kErrFileNotFound;
        case EACCES:
        case EPERM:
        case EROFS:
        case ETXTBSY:
        case EISDIR:
            return kErrNoWritePermission;
        case EWOULDBLOCK:
            return kErrFileBusy;
        case ENAMETOOLONG:
        case EINVAL:
            return kErrBadName;
        case EMFILE:
        case ENFILE:
            return kErrTooManyFiles;
        default:
            return kErrIO;
    }
}

int16_t MapWriteError(int32_t error) {
    switch (error) {
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return kErrDiskFull;
        default:
            return kErrIO;
    }
}

int16_t MapSetPosError(int32_t error) {
    switch (error) {
        case EBADF:
            return kErrBadFileHandle;
        case EINVAL:
        case EOVERFLOW:
            return kErrBadPosition;
        default:
            return kNoErr;
    }
}

int16_t MapCreateError(int32_t error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return kErrFileNotFound;
        case EACCES:
        case EPERM:
        case EWOULDBLOCK:
            return kErrFileBusy;
        case EMFILE:
        case ENFILE:
            return kErrTooManyFiles;
        default:
            return kNoErr;
    }
}

int16_t MapDeleteError(int32_t error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return kErrFileNotFound;
        case EACCES:
        case EPERM:
        case EBUSY:
        case EWOULDBLOCK:
            return kErrFileLocked;
        default:
            return kNoErr;
    }
}

int16_t MapReplaceError(int32_t error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return kErrFileNotFound;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
            return kErrNoWritePermission;
        case EBUSY:
            return kErrFileLocked;
        case ENOSPC:
        case EDQUOT:
            return kErrDiskFull;
        default:
            return kErrIO;
    }
}

int16_t FileOpen(const char* name, FileHandle* handle) {
    if (handle) *handle = kNoFile;
    if (!handle) return kErrIO;
    char path[kNameCapacity];
    if (MapFixedName(name, path, sizeof path, nullptr) != 0) return kErrBadName;
    // Without blocking: opening a FIFO for reading would otherwise wait for a writer.
    int fd = open(path, O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        int error = errno;
        if (!OpenRetriesReadOnly(error)) return MapOpenError(error);
        fd = open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (fd < 0) return kErrNoWritePermission;
    }
    if (!RegularFile(fd)) {
        close(fd);
        return kErrNoWritePermission;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    // No sharing: an exclusive lock that a second opener cannot take.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int error = errno;
        close(fd);
        return error == EWOULDBLOCK ? int16_t(kErrFileBusy) : MapOpenError(error);
    }
    posix_fadvise(fd, 0, 0, POSIX_FADV_RANDOM);
    *handle = fd;
    return kNoErr;
}

int16_t FileCreate(const char* name) {
    char path[kNameCapacity];
    char directory[kNameCapacity];
    if (MapFixedName(name, path, sizeof path, directory) != 0) return kErrBadName;
    if (directory[0]) EnsureDirectory(directory);
    // Not truncated through O_TRUNC: a file that another opener holds exclusively stays intact.
    int fd = open(path, O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
    // ENXIO: a FIFO that nobody reads, which is no file either.
    if (fd < 0) return MapCreateError(errno == ENXIO ? EACCES : errno);
    int16_t result = 0;
    if (!RegularFile(fd)) {
        result = MapCreateError(EACCES);
    } else if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        result = MapCreateError(errno);
    } else if (ftruncate(fd, 0) != 0) {
        result = MapCreateError(errno);
    }
    close(fd);
    return result;
}

int16_t FileRead(FileHandle handle, int32_t* count, void* destination) {
    if (!count) return kErrIO;
    int32_t wanted = *count;
    *count = 0;
    if (wanted < 0 || (wanted > 0 && !destination)) return kErrIO;
    int fd = ToDescriptor(handle);
    auto* bytes = static_cast<uint8_t*>(destination);
    while (*count < wanted) {
        ssize_t got = read(fd, bytes + *count, size_t(wanted - *count));
        if (got < 0) {
            if (errno == EINTR) continue;
            return kErrIO;
        }
        if (got == 0) break;
        *count += int32_t(got);
    }
    return kNoErr;
}

int16_t FileWrite(FileHandle handle, int32_t* count, const void* source) {
    if (!count) return kErrIO;
    int32_t wanted = *count;
    *count = 0;
    if (wanted < 0 || (wanted > 0 && !source)) return kErrIO;
    int16_t injected = 0;
    if (FileChangeFails(&injected)) return injected;
    int fd = ToDescriptor(handle);
    const auto* bytes = static_cast<const uint8_t*>(source);
    while (*count < wanted) {
        ssize_t put = write(fd, bytes + *count, size_t(wanted - *count));
        if (put < 0) {
            if (errno == EINTR) continue;
            return MapWriteError(errno);
        }
        if (put == 0) return kErrDiskFull;
        *count += int32_t(put);
    }
    return kNoErr;
}

int16_t FileSetPos(FileHandle handle, int32_t offset) {
    if (lseek(ToDescriptor(handle), off_t(offset), SEEK_SET) < 0) return MapSetPosError(errno);
    return kNoErr;
}

int16_t FileSetPosToEnd(FileHandle handle) {
    if (lseek(ToDescriptor(handle), 0, SEEK_END) < 0) return MapSetPosError(errno);
    return 0;
}

int16_t FileLength(FileHandle handle, int64_t* length) {
    struct stat info;
    if (!length || fstat(ToDescriptor(handle), &info) != 0) return kErrIO;
    *length = int64_t(info.st_size);
    return kNoErr;
}

int16_t FileSetPosFar(FileHandle handle, int64_t offset) {
    if (offset < 0 || lseek(ToDescriptor(handle), off_t(offset), SEEK_SET) < 0) return kErrBadPosition;
    return kNoErr;
}

int16_t FileSetLength(FileHandle handle, int64_t length) {
    int16_t injected = 0;
    if (FileChangeFails(&injected)) return injected;
    if (length < 0) return kErrBadPosition;
    while (ftruncate(ToDescriptor(handle), off_t(length)) != 0)
        if (errno != EINTR) return MapWriteError(errno);
    return kNoErr;
}

void FilePause(int32_t milliseconds) {
    struct timespec pause = {milliseconds / 1000, long(milliseconds % 1000) * 1000000L};
    while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
    }
}

int16_t FileLinkTarget(const char* name, char* out, int32_t capacity) {
    if (MapFixedName(name, out, capacity, nullptr) != 0) return kErrBadName;
    char link[kNameCapacity];
    // A bounded chain: a loop of links ends at one of them, whose opening then fails.
    for (int hops = 0; hops < 40; ++hops) {
        struct stat status;
        if (lstat(out, &status) != 0 || !S_ISLNK(status.st_mode)) return kNoErr;
        const ssize_t length = readlink(out, link, sizeof link - 1);
        if (length < 0) return kNoErr;
        link[length] = 0;
        // A relative link is relative to the link's own directory.
        const char* slash = std::strrchr(out, '/');
        const size_t keep = link[0] == '/' || !slash ? 0 : size_t(slash - out) + 1;
        if (keep + size_t(length) + 1 > size_t(capacity)) return kErrBadName;
        std::memmove(out + keep, link, size_t(length) + 1);
    }
    return kNoErr;
}

int16_t FileClose(FileHandle handle) {
    return close(ToDescriptor(handle)) == 0 ? kNoErr : kErrBadFileHandle;
}

int16_t FileDelete(const char* name) {
    char path[kNameCapacity];
    if (MapFixedName(name, path, sizeof path, nullptr) != 0) return kErrBadName;
    // A file held open without sharing cannot be deleted, as on Windows.
    if (LockedElsewhere(path)) return kErrFileLocked;
    if (unlink(path) != 0) return MapDeleteError(errno);
    return kNoErr;
}

bool FileWritable(FileHandle handle) {
    int flags = fcntl(ToDescriptor(handle), F_GETFL);
    return flags >= 0 && (flags & O_ACCMODE) != O_RDONLY;
}

int16_t FileFlush(FileHandle handle) {
    int16_t injected = 0;
    if (FileChangeFails(&injected)) return injected;
    return fsync(ToDescriptor(handle)) == 0 ? kNoErr : kErrIO;
}

int16_t FileReplace(const char* source, const char* target) {
    char from[kNameCapacity];
    char to[kNameCapacity];
    if (MapFixedName(source, from, sizeof from, nullptr) != 0) return kErrBadName;
    if (MapFixedName(target, to, sizeof to, nullptr) != 0) return kErrBadName;
    int16_t injected = 0;
    if (FileChangeFails(&injected)) return injected;
    return std::rename(from, to) == 0 ? int16_t(kNoErr) : MapReplaceError(errno);
}
