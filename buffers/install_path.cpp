// The install-path rule: a fixed name c:\NAME becomes the install directory followed by NAME. The
// directory is looked up afresh at every call: the registry key (or its stand-in) first, the path
// file only when the key is missing.
#include <cstring>

#include "buffers/files.h"
#include "buffers/image_buffer.h"

namespace {

constexpr const char* kPathFileName = "c:\\QUENPath.TXT";
constexpr int32_t kDirectoryCapacity = 1025;
constexpr size_t kPrefixLength = 3;  // "c:\"

// The install directory from the path file: the bytes of one read of at most 514, untrimmed (a
// trailing line end stays part of it). False when the file cannot be opened.
bool ReadPathFile(char* directory) {
    FileHandle file = kNoFile;
    if (FileOpen(kPathFileName, &file) != 0) return false;
    int32_t count = kPathCapacity;
    FileRead(file, &count, directory);
    directory[count] = 0;
    FileClose(file);
    return true;
}

}  // namespace

void ResolveInstallPath(char* path) {
    if (!path) return;
    char directory[kDirectoryCapacity] = {};
    if (ReadInstallKey(directory)) {
        if (directory[0] == 0) return;
    } else if (!ReadPathFile(directory)) {
        return;
    }
    size_t pathLength = std::strlen(path);
    if (pathLength < kPrefixLength) return;
    size_t directoryLength = std::strlen(directory);
    size_t nameLength = pathLength - kPrefixLength;
    // The result must fit the caller's buffer with its terminator; a longer one is refused
    // rather than cut, so that no file is ever reached under a truncated name.
    if (directoryLength + nameLength + 1 > size_t(kPathCapacity)) return;
    std::memmove(path + directoryLength, path + kPrefixLength, nameLength + 1);
    std::memcpy(path, directory, directoryLength);
}
