#include "addressbook/NisMaps.h"

#include <rpcsvc/ypclnt.h>

#include <cstring>

namespace quill {
namespace {

// The protocol's status of a record that follows (YP_TRUE); any other status,
// the end of the map included, ends the enumeration.
constexpr int kRecordFollows = 1;

int visitRecord(int status, char* key, int keyLength, char* value, int valueLength, char* data) {
    if (status != kRecordFollows) return 1;
    const auto& visit = *reinterpret_cast<const MapVisitor*>(data);
    visit(std::string_view(key, keyLength > 0 ? keyLength : 0),
          std::string_view(value, valueLength > 0 ? valueLength : 0));
    return 0;
}

}  // namespace

bool NisMaps::readMap(const char* map, const MapVisitor& visit) {
    char* domain = nullptr;
    if (yp_get_default_domain(&domain) != 0 || !domain || !*domain ||
        std::strcmp(domain, "(none)") == 0)
        return false;
    ypall_callback callback;
    callback.foreach = visitRecord;
    callback.data = reinterpret_cast<char*>(const_cast<MapVisitor*>(&visit));
    return yp_all(domain, map, &callback) == 0;
}

}  // namespace quill
