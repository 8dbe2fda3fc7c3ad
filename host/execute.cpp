// Placeholder until the execution driver lands.
#include "host/execute.h"

int16_t Execute(PersistentBlock*, SelectionRecord*) { return kErrBadParameters; }
