// The test hook that makes changes to stored files fail, shared by both platform file layers.
#include "buffers/files.h"

namespace {
int32_t changeCountdown;
int16_t changeCode;
uint32_t changes;  // unsigned: a long-lived host may wrap it
}  // namespace

void FailFileChangesAfter(int32_t countdown, int16_t code) {
    changeCountdown = countdown;
    changeCode = code;
}

bool FileChangeFails(int16_t* code) {
    ++changes;
    if (changeCountdown <= 0) return false;
    if (changeCountdown > 1) {
        --changeCountdown;
        return false;
    }
    *code = changeCode;
    return true;
}

int32_t CountFileChanges(void) { return int32_t(changes); }
