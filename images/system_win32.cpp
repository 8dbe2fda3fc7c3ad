// The host side's operating-system facilities on Windows.
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <process.h>

#include <cstdio>
#include <cstdlib>

#include "images/system.h"

namespace varno {

namespace {

std::string LastErrorText(DWORD error) {
    char text[512] = {0};
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                  text, sizeof text, nullptr);
    while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r' || text[length - 1] == ' '))
        text[--length] = 0;
    if (length == 0) return "Windows error " + std::to_string(error);
    return text;
}

}  // namespace


bool StderrIsTerminal(void) { return _isatty(_fileno(stderr)) != 0; }

bool StandardStreamOpen(std::FILE* stream) {
    const int fd = _fileno(stream);
    return fd >= 0 && _get_osfhandle(fd) != -1 && _get_osfhandle(fd) != -2;
}

// Text mode would turn every byte 10 into 13 10 (and stop reading at a byte 26).
void PrepareStandardStream(std::FILE* stream) { _setmode(_fileno(stream), _O_BINARY); }

int32_t ProcessId(void) { return int32_t(_getpid()); }

void PrepareForLargeBlocks(void) {}

void AdviseLargeBlock(void*, size_t) {}

std::string RenameOver(const std::string& from, const std::string& to) {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return {};
    return LastSystemError();
}

std::string ExistingFileId(const std::string& path) {
    // A name in the device namespace (a pipe, a device) is not a file, and opening it could
    // connect to it.
    if (path.rfind("\\\\.\\", 0) == 0 || path.rfind("//./", 0) == 0) return {};
    // Opened for no access at all (directories too): only the file's identity is read.
    HANDLE handle = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return {};
    BY_HANDLE_FILE_INFORMATION information;
    const bool known = GetFileInformationByHandle(handle, &information) != 0;
    CloseHandle(handle);
    if (!known) return {};
    return std::to_string(information.dwVolumeSerialNumber) + ":" + std::to_string(information.nFileIndexHigh) + ":" +
           std::to_string(information.nFileIndexLow);
}

// The ANSI file functions take paths of fewer than MAX_PATH characters, and a name of 255.
NameLimits FileNameLimits(const std::string&) { return {255, MAX_PATH - 1}; }

void SetEnvironment(const char* name, const char* value) { _putenv_s(name, value ? value : ""); }

std::string LastSystemError(void) { return LastErrorText(GetLastError()); }

}  // namespace varno
