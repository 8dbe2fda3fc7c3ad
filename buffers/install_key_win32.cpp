// The registry key of the install-path rule: the first value of HKEY_LOCAL_MACHINE
// "Software\Morvelan_Path", whatever its name and type, taken as a terminated text.
#include <windows.h>

#include "buffers/files.h"

int32_t ReadInstallKey(char* directory) {
    directory[0] = 0;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Morvelan_Path", 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return 0;
    }
    char name[514];
    DWORD nameLength = sizeof name;
    DWORD type = 0;
    DWORD dataLength = 1024;
    LONG status = RegEnumValueA(key, 0, name, &nameLength, nullptr, &type,
                                reinterpret_cast<BYTE*>(directory), &dataLength);
    // Data of the full 1024 bytes need not hold a terminator; the 1025th byte gives it one.
    if (status == ERROR_SUCCESS && dataLength <= 1024) {
        directory[dataLength] = 0;
    } else {
        directory[0] = 0;
    }
    RegCloseKey(key);
    return 1;
}
