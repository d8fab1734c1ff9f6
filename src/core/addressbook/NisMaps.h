// NisMaps: the network information service through the system's client
// library, in the default domain. A machine with no domain configured answers
// at once, with nothing.
#pragma once

#include "addressbook/AliasSources.h"

namespace quill {

class NisMaps {
  public:
    // Enumerates a map whole; false when there is no domain or no server.
    static bool readMap(const char* map, const MapVisitor& visit);
};

}  // namespace quill
