// New output files on POSIX: O_EXCL, so that an existing file is never taken over.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "images/output_files.h"

namespace varno {

std::FILE* CreateNewFile(const std::string& path, std::string* error) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        *error = std::strerror(errno);
        return nullptr;
    }
    std::FILE* file = fdopen(fd, "wb");
    if (!file) {
        *error = std::strerror(errno);
        close(fd);
        unlink(path.c_str());
    }
    return file;
}

bool RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0; }

}  // namespace varno
