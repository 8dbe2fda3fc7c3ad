// The registry key of the install-path rule, stood in for by the environment variable
// MORVELAN_PATH: set means the key exists, its value is the key's first value, and set but empty
// is a key that holds no value.
#include <cstdlib>

#include "buffers/files.h"

int32_t ReadInstallKey(char* directory) {
    directory[0] = 0;
    const char* value = std::getenv("MORVELAN_PATH");
    if (!value) return 0;
    CopyTextBounded(value, directory, 1025);
    return 1;
}
