// The host side's operating-system facilities on Windows.
#include <windows.h>
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

int32_t ProcessId(void) { return int32_t(_getpid()); }

void PrepareForLargeBlocks(void) {}

void AdviseLargeBlock(void*, size_t) {}

std::string RenameOver(const std::string& from, const std::string& to) {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return {};
    return LastSystemError();
}

void SetEnvironment(const char* name, const char* value) { _putenv_s(name, value ? value : ""); }

std::string LastSystemError(void) { return LastErrorText(GetLastError()); }

}  // namespace varno
