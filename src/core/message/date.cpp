#include "message/date.h"

namespace quill {

int parseFullDate(std::string_view, std::tm* record) {
    *record = std::tm{};
    record->tm_wday = -1;
    return kValidDate;
}
const char* getDateParse(int) { return nullptr; }
std::string rfc822zone(long) { return "GMT"; }
std::string sizeString(long long) { return "0KB"; }
int ordinalValue(std::string_view, std::string_view, int defaultValue) { return defaultValue; }
std::optional<std::int32_t> packedDate(std::string_view) { return std::nullopt; }
std::int32_t packedToday() { return packDate(1970, 1, 1); }

}  // namespace quill
