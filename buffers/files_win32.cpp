// The file layer on Windows: CreateFileA/ReadFile/WriteFile/SetFilePointer/CloseHandle with the
// last-error number mapped onto the result codes; creation and deletion through the C runtime,
// whose errno decides their codes.
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include "base/results.h"
#include "buffers/files.h"

namespace {

HANDLE ToHandle(FileHandle handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

bool OpenRetriesReadOnly(int32_t error) { return error == ERROR_ACCESS_DENIED; }

int16_t MapOpenError(int32_t error) {
    switch (error) {
        case 2:  // ERROR_FILE_NOT_FOUND
        case ERROR_PATH_NOT_FOUND:
            return kErrFileNotFound;
        case 5:  // access denied, also after the read-only retry
        case 13:
            return kErrNoWritePermission;
        case 22:
        case ERROR_INVALID_NAME:
            return kErrBadName;
        case 24:
        case ERROR_TOO_MANY_OPEN_FILES:
            return kErrTooManyFiles;
        case ERROR_SHARING_VIOLATION:
            return kErrFileBusy;
        default:
            return kErrIO;
    }
}

int16_t MapWriteError(int32_t error) {
    switch (error) {
        case 28:
        case ERROR_HANDLE_DISK_FULL:
        case ERROR_DISK_FULL:
            return kErrDiskFull;
        default:
            return kErrIO;
    }
}

int16_t MapSetPosError(int32_t error) {
    switch (error) {
        case 9:
        case ERROR_INVALID_HANDLE:
            return kErrBadFileHandle;
        case 22:
        case ERROR_NEGATIVE_SEEK:
            return kErrBadPosition;
        default:
            return kNoErr;
    }
}

int16_t MapCreateError(int32_t error) {
    switch (error) {
        case ENOENT:
            return kErrFileNotFound;
        case EACCES:
            return kErrFileBusy;
        case EMFILE:
            return kErrTooManyFiles;
        default:
            return kNoErr;
    }
}

int16_t MapDeleteError(int32_t error) {
    switch (error) {
        case ENOENT:
            return kErrFileNotFound;
        case EACCES:
            return kErrFileLocked;
        default:
            return kNoErr;
    }
}

int16_t MapReplaceError(int32_t error) {
    switch (error) {
        case 2:
        case ERROR_PATH_NOT_FOUND:
            return kErrFileNotFound;
        case 5:
            return kErrNoWritePermission;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return kErrFileLocked;
        case ERROR_HANDLE_DISK_FULL:
        case ERROR_DISK_FULL:
            return kErrDiskFull;
        default:
            return kErrIO;
    }
}

int16_t FileOpen(const char* name, FileHandle* handle) {
    if (handle) *handle = kNoFile;
    if (!handle || !name) return kErrIO;
    HANDLE file = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_RANDOM_ACCESS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        if (!OpenRetriesReadOnly(int32_t(error))) return MapOpenError(int32_t(error));
        file = CreateFileA(name, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_RANDOM_ACCESS | FILE_FLAG_SEQUENTIAL_SCAN,
                           nullptr);
        if (file == INVALID_HANDLE_VALUE) return kErrNoWritePermission;
    }
    // Only files on a disk are files: a pipe or a device at a file's name is never read or
    // written (a read from either may wait for ever).
    if (GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        return kErrNoWritePermission;
    }
    *handle = reinterpret_cast<FileHandle>(file);
    return kNoErr;
}

int16_t FileCreate(const char* name) {
    if (!name) return kErrBadName;
    int fd = _open(name, _O_CREAT | _O_TRUNC | _O_RDWR | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0) return MapCreateError(errno);
    bool disk = GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(fd))) == FILE_TYPE_DISK;
    _close(fd);
    return disk ? int16_t(kNoErr) : MapCreateError(EACCES);
}

int16_t FileRead(FileHandle handle, int32_t* count, void* destination) {
    if (!count) return kErrIO;
    int32_t wanted = *count;
    *count = 0;
    if (wanted < 0 || (wanted > 0 && !destination)) return kErrIO;
    DWORD got = 0;
    BOOL ok = ReadFile(ToHandle(handle), destination, DWORD(wanted), &got, nullptr);
    *count = int32_t(got);
    return ok ? kNoErr : kErrIO;
}

int16_t FileWrite(FileHandle handle, int32_t* count, const void* source) {
    if (!count) return kErrIO;
    int32_t wanted = *count;
    *count = 0;
    if (wanted < 0 || (wanted > 0 && !source)) return kErrIO;
    int16_t injected = 0;
    if (FileChangeFails(&injected)) return injected;
    DWORD put = 0;
    BOOL ok = WriteFile(ToHandle(handle), source, DWORD(wanted), &put, nullptr);
    *count = int32_t(put);
    if (!ok) return MapWriteError(int32_t(GetLastError()));
    return kNoErr;
}

int16_t FileSetPosToEnd(FileHandle handle) {
    LARGE_INTEGER none = {};
    if (!SetFilePointerEx(ToHandle(handle), none, nullptr, FILE_END)) return MapSetPosError(int32_t(GetLastError()));
    return 0;
}

int16_t FileLength(FileHandle handle, int64_t* length) {
    LARGE_INTEGER size = {};
    if (!length || !GetFileSizeEx(ToHandle(handle), &size)) return kErrIO;
    *length = int64_t(size.QuadPart);
    return kNoErr;
}

int16_t FileSetPosFar(FileHandle handle, int64_t offset) {
    LARGE_INTEGER at = {};
    at.QuadPart = offset;
    if (offset < 0 || !SetFilePointerEx(ToHandle(handle), at, nullptr, FILE_BEGIN)) return kErrBadPosition;
    return kNoErr;
}

int16_t FileSetLength(FileHandle handle, int64_t length) {
    int16_t injected = 0;
    if (FileChangeFails(&injected)) return injected;
    if (FileSetPosFar(handle, length) != kNoErr) return kErrBadPosition;
    if (!SetEndOfFile(ToHandle(handle))) return MapWriteError(int32_t(GetLastError()));
    return kNoErr;
}

void FilePause(int32_t milliseconds) { Sleep(DWORD(milliseconds)); }

int16_t FileLinkTarget(const char* name, char* out, int32_t capacity) {
    if (!name || !out || capacity < 1 || std::strlen(name) + 1 > size_t(capacity)) return kErrBadName;
    std::memcpy(out, name, std::strlen(name) + 1);
    return kNoErr;
}

int16_t FileSetPos(FileHandle handle, int32_t offset) {
    SetLastError(NO_ERROR);
    DWORD moved = SetFilePointer(ToHandle(handle), LONG(offset), nullptr, FILE_BEGIN);
    if (moved == INVALID_SET_FILE_POINTER) {
        DWORD error = GetLastError();
        if (error != NO_ERROR) return MapSetPosError(int32_t(error));
    }
    return kNoErr;
}

int16_t FileClose(FileHandle handle) {
    if (handle == kNoFile) return kErrBadFileHandle;
    return CloseHandle(ToHandle(handle)) ? kNoErr : kErrBadFileHandle;
}

int16_t FileDelete(const char* name) {
    if (!name) return kErrBadName;
    if (_unlink(name) != 0) return MapDeleteError(errno);
    return kNoErr;
}

bool FileWritable(FileHandle handle) {
    // A write of no bytes changes nothing but is refused on a handle opened for reading only.
    DWORD put = 0;
    char nothing = 0;
    return handle != kNoFile && WriteFile(ToHandle(handle), &nothing, 0, &put, nullptr);
}

int16_t FileFlush(FileHandle handle) {
    int16_t injected = 0;
    if (FileChangeFails(&injected)) return injected;
    return FlushFileBuffers(ToHandle(handle)) ? kNoErr : kErrIO;
}

int16_t FileReplace(const char* source, const char* target) {
    if (!source || !target) return kErrBadName;
    int16_t injected = 0;
    if (FileChangeFails(&injected)) return injected;
    if (MoveFileExA(source, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return kNoErr;
    return MapReplaceError(int32_t(GetLastError()));
}
