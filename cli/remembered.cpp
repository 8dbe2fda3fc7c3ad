// Completing a lone -m or -r from the remembered choice.
#include "cli/remembered.h"

#include "host/actions.h"
#include "params/edge_table.h"

namespace varno {

void CompleteEdgeChoice(Descriptor* played) {
    const bool hasMethod = played->Find(FourCC("EdgM")) != nullptr;
    const bool hasRadius = played->Find(FourCC("edgR")) != nullptr;
    if (hasMethod == hasRadius) return;
    const RememberedEdgeChoice remembered = ReadRememberedChoice();
    if (hasMethod) PutEdgeChoice(played, 0, remembered.radius);
    else PutEdgeChoice(played, remembered.method, 0);
}

}  // namespace varno
