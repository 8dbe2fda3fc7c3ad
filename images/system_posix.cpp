// The host side's operating-system facilities on POSIX.
#include <fcntl.h>
#include <malloc.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "images/system.h"

namespace varno {

bool StderrIsTerminal(void) { return isatty(STDERR_FILENO) != 0; }

bool StandardStreamOpen(std::FILE* stream) { return fcntl(fileno(stream), F_GETFD) != -1; }

void PrepareStandardStream(std::FILE* stream) {
    if (stream == stdout) signal(SIGPIPE, SIG_IGN);
}

int32_t ProcessId(void) { return int32_t(getpid()); }

void PrepareForLargeBlocks(void) {
    // Setting it turns off glibc's moving threshold, which rises to the size of the largest block
    // freed so far and then serves even tens of megabytes from a heap that keeps freed memory.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
}

void AdviseLargeBlock(void* start, size_t bytes) {
    // Only whole huge pages inside the block can be huge; the advice takes page-aligned ranges.
    constexpr uintptr_t kHuge = uintptr_t(2) << 20;
    const uintptr_t first = (reinterpret_cast<uintptr_t>(start) + kHuge - 1) & ~(kHuge - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(start) + bytes) & ~(kHuge - 1);
#ifdef MADV_HUGEPAGE
    if (end > first) madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
#endif
}

std::string RenameOver(const std::string& from, const std::string& to) {
    if (std::rename(from.c_str(), to.c_str()) == 0) return {};
    return std::strerror(errno);
}

std::string ExistingFileId(const std::string& path) {
    struct stat status;
    if (stat(path.c_str(), &status) != 0) return {};
    return std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino);
}

NameLimits FileNameLimits(const std::string& directory) {
    // Most file systems take 255 bytes; a few (an encrypted home directory) fewer.
    const long name = pathconf(directory.empty() ? "." : directory.c_str(), _PC_NAME_MAX);
    return {name > 0 ? size_t(name) : size_t(255), size_t(PATH_MAX - 1)};
}

void SetEnvironment(const char* name, const char* value) {
    if (value) setenv(name, value, 1);
    else unsetenv(name);
}

std::string LastSystemError(void) { return std::strerror(errno); }

}  // namespace varno
