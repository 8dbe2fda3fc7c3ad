// New output files on Windows: opened with delete sharing, so that a stop can remove a temporary
// file while another thread is still writing it (the file goes when its last handle closes, at
// the latest when the process ends).
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include "images/output_files.h"

namespace varno {

std::FILE* CreateNewFile(const std::string& path, std::string* error) {
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        char text[256] = {0};
        DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                      text, sizeof text, nullptr);
        while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r' || text[length - 1] == ' '))
            text[--length] = 0;
        *error = length ? std::string(text) : "Windows error " + std::to_string(code);
        return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        DeleteFileA(path.c_str());
        *error = "cannot open the file";
        return nullptr;
    }
    std::FILE* file = _fdopen(fd, "wb");
    if (!file) {
        _close(fd);
        DeleteFileA(path.c_str());
        *error = "cannot open the file";
    }
    return file;
}

bool RemoveFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

}  // namespace varno
