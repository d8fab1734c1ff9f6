#include "message/date.h"

#include <array>
#include <cmath>

#include "base/Diagnostics.h"
#include "base/ascii.h"
#include "platform/Localized.h"

namespace quill {
namespace {

constexpr std::array<std::string_view, 7> kDayNames = {"Sun", "Mon", "Tue", "Wed",
                                                       "Thu", "Fri", "Sat"};
constexpr std::array<std::string_view, 12> kMonthNames = {"jan", "feb", "mar", "apr", "may", "jun",
                                                          "jul", "aug", "sep", "oct", "nov", "dec"};

constexpr std::array<const char*, 5> kResultTexts = {"Valid date", "Invalid month", "Invalid day",
                                                     "Invalid year", "Invalid time"};

bool isSeparator(char c) {
    return c == '\t' || c == ' ' || c == ',' || c == '/' || c == '-' || c == '+';
}

bool isListGap(char c) { return c == ':' || c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Calls visit(start, token) for each maximal run of non-gap characters until
// it answers false; answers whether every token was visited.
template <class IsGap, class Visit>
bool eachToken(std::string_view text, IsGap isGap, Visit visit) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (isGap(text[pos])) {
            ++pos;
            continue;
        }
        std::size_t start = pos;
        while (pos < text.size() && !isGap(text[pos])) ++pos;
        if (!visit(start, text.substr(start, pos - start))) return false;
    }
    return true;
}

// The value of an all-digit text, capped so that absurdly long numbers stay
// out of range instead of overflowing; nothing when a non-digit appears.
// An empty text is 0.
std::optional<long> digitsValue(std::string_view text) {
    long value = 0;
    for (char c : text) {
        if (!isDigit(c)) return std::nullopt;
        value = std::min(value * 10 + (c - '0'), 100000000L);
    }
    return value;
}

// The slots a date text filled, beside the broken-down record.
struct DateSlots {
    int day = -1;
    int year = -1;  // years since 1900
    int weekday = -1;
    int month = -1;
    bool zone = false;
    std::optional<long> secondsEast;  // the zone the text names, when it names one
};

// "hh:mm[:ss]"; seconds are cut at their first non-digit ("07pm"), since
// some mailers glue a meridian or a zone to the clock time.
bool parseClock(std::string_view token, std::tm* record) {
    auto colon = token.find(':');
    auto hours = digitsValue(token.substr(0, colon));
    if (!hours || *hours > 23) return false;
    record->tm_hour = int(*hours);
    std::string_view rest = token.substr(colon + 1);
    auto second = rest.find(':');
    auto minutes = digitsValue(rest.substr(0, second));
    if (!minutes || *minutes > 59) return false;
    record->tm_min = int(*minutes);
    if (second == std::string_view::npos) return true;
    std::string_view secText = rest.substr(second + 1);
    std::size_t end = 0;
    while (end < secText.size() && isDigit(secText[end])) ++end;
    auto seconds = digitsValue(secText.substr(0, end));
    if (!seconds || *seconds > 59) return false;
    record->tm_sec = int(*seconds);
    return true;
}

// Two-digit years mean 1970-1999; three-digit years and years before 1900 are
// not plausible mail dates (and catch "-0800" read where the year should be).
std::optional<int> yearSince1900(std::string_view token) {
    auto value = digitsValue(token);
    if (!value || *value < 70 || *value > 100000) return std::nullopt;
    if (*value < 100) return int(*value);
    if (*value < 1900) return std::nullopt;
    return int(*value - 1900);
}

// The first three letters folded to lower case in one integer, so that the
// day and month names are matched without a string comparison per name
// (every envelope line of a mailbox goes through here).
constexpr std::uint32_t nameKey(std::string_view name) {
    std::uint32_t key = 0;
    for (std::size_t i = 0; i < 3; ++i)
        key = key << 8 | (static_cast<unsigned char>(name[i]) | 0x20);
    return key;
}

template <std::size_t N>
constexpr std::array<std::uint32_t, N> nameKeys(const std::array<std::string_view, N>& names) {
    std::array<std::uint32_t, N> keys{};
    for (std::size_t i = 0; i < N; ++i) keys[i] = nameKey(names[i]);
    return keys;
}

constexpr auto kDayKeys = nameKeys(kDayNames);
constexpr auto kMonthKeys = nameKeys(kMonthNames);

template <std::size_t N>
int positionOf(std::uint32_t key, const std::array<std::uint32_t, N>& keys) {
    for (std::size_t i = 0; i < N; ++i)
        if (keys[i] == key) return int(i);
    return -1;
}

void matchName(std::string_view token, DateSlots& slots) {
    if (token.size() < 3 || !isAlpha(token[1]) || !isAlpha(token[2])) return;
    std::uint32_t key = nameKey(token);
    if (slots.weekday < 0) slots.weekday = positionOf(key, kDayKeys);
    if (slots.month < 0) slots.month = positionOf(key, kMonthKeys);
}

bool isNumericZone(std::string_view text, std::size_t start, std::string_view token) {
    if (token.size() != 4 || start == 0) return false;
    for (char c : token)
        if (!isDigit(c)) return false;
    return text[start - 1] == '-' || text[start - 1] == '+';
}

bool isUniversalZoneName(std::string_view token) {
    for (std::string_view name : {"GMT", "UT", "UTC", "Z"})
        if (equalsIgnoringCase(token, name)) return true;
    return false;
}

int parseToken(std::string_view text, std::size_t start, std::string_view token, std::tm* record,
               DateSlots& slots) {
    if (token.find(':') != std::string_view::npos)
        return parseClock(token, record) ? kValidDate : kInvalidTime;
    if (slots.day < 0 && isDigit(token[0])) {
        auto day = digitsValue(token);
        if (!day || *day < 1 || *day > 31) return kInvalidDay;
        slots.day = int(*day);
    } else if (slots.year < 0 && isDigit(token[0])) {
        auto year = yearSince1900(token);
        if (!year) return kInvalidYear;
        slots.year = *year;
    } else if (isAlpha(token[0])) {
        matchName(token, slots);
        if (isUniversalZoneName(token)) slots.secondsEast = 0;
    } else if (!slots.zone && isNumericZone(text, start, token)) {
        // The clock time is kept as written; the zone is only consumed.
        slots.zone = true;
        long hhmm = std::stol(std::string(token));
        long seconds = hhmm / 100 * 3600 + hhmm % 100 * 60;
        slots.secondsEast = text[start - 1] == '-' ? -seconds : seconds;
    }
    return kValidDate;
}

int parseDate(std::string_view text, std::tm* record, DateSlots& slots) {
    *record = std::tm{};
    int result = kValidDate;
    eachToken(text, isSeparator, [&](std::size_t start, std::string_view token) {
        result = parseToken(text, start, token, record, slots);
        return result == kValidDate;
    });
    if (result != kValidDate) return result;
    record->tm_wday = slots.weekday;
    if (slots.day >= 0) record->tm_mday = slots.day;
    if (slots.month >= 0) record->tm_mon = slots.month;
    if (slots.year >= 0) record->tm_year = slots.year;
    return kValidDate;
}

// Two digits as a number, or -1.
int twoDigits(const char* p) {
    return isDigit(p[0]) && isDigit(p[1]) ? (p[0] - '0') * 10 + (p[1] - '0') : -1;
}

// The envelope line's own form, "Fri Dec 20 21:34:17 2019" (the day may be
// " 5"), read in place: every "From " line of a mailbox comes through here
// when its index is rebuilt. Nothing when the text is in any other form or
// holds a value the tolerant parser would refuse; that parser then decides,
// and for the texts accepted here it gives the same date.
std::optional<std::int32_t> packedEnvelopeDate(std::string_view text) {
    constexpr std::string_view kShape = "www mmm dd hh:mm:ss yyyy";
    if (text.size() != kShape.size()) return std::nullopt;
    const char* p = text.data();
    for (std::size_t i : {3, 7, 10, 19})
        if (p[i] != ' ') return std::nullopt;
    if (p[13] != ':' || p[16] != ':') return std::nullopt;
    for (std::size_t i : {0, 1, 2, 4, 5, 6})
        if (!isAlpha(p[i])) return std::nullopt;
    // A day name is never a month name, so the month is the second word.
    int month = positionOf(nameKey(text.substr(4)), kMonthKeys);
    if (positionOf(nameKey(text), kDayKeys) < 0 || month < 0) return std::nullopt;
    int day = p[8] != ' ' ? twoDigits(p + 8) : isDigit(p[9]) ? p[9] - '0' : -1;
    int hours = twoDigits(p + 11), minutes = twoDigits(p + 14), seconds = twoDigits(p + 17);
    int century = twoDigits(p + 20), year = twoDigits(p + 22);
    if (day < 1 || day > 31 || hours < 0 || hours > 23 || minutes < 0 || minutes > 59 ||
        seconds < 0 || seconds > 59 || century < 19 || year < 0) {
        return std::nullopt;
    }
    return packDate(century * 100 + year, month + 1, day);
}

}  // namespace

int parseFullDate(std::string_view text, std::tm* record) {
    DateSlots slots;
    return parseDate(text, record, slots);
}

std::optional<std::tm> localFullDate(std::string_view text) {
    DateSlots slots;
    std::tm record{};
    if (parseDate(text, &record, slots) != kValidDate) return std::nullopt;
    if (!slots.secondsEast || slots.day < 0 || slots.month < 0 || slots.year < 0) return record;
    std::time_t instant = ::timegm(&record) - *slots.secondsEast;
    std::tm local{};
    if (!::localtime_r(&instant, &local)) return record;
    return local;
}

const char* getDateParse(int code) {
    if (code < 0 || code >= int(kResultTexts.size())) return nullptr;
    return kResultTexts[code];
}

std::string rfc822zone(long secondsWest) {
    if (secondsWest == 0) return "GMT";
    long offset = std::labs(secondsWest);
    long hhmm = offset / 3600 * 100 + offset / 60 % 60;
    // RFC 822 counts east as positive, the C library counts west.
    return formatString("%s%04ld", secondsWest > 0 ? "-" : "+", hhmm);
}

std::string sizeString(long long bytes) {
    double kilobytes = double(bytes) / 1024.0;
    if (kilobytes < 1000.0) {
        std::string format = localized(kUITable, "%dKB");
        return formatString(format.c_str(), int(std::ceil(kilobytes)));
    }
    std::string format = localized(kUITable, "%.1fMB");
    return formatString(format.c_str(), kilobytes / 1024.0);
}

int ordinalValue(std::string_view list, std::string_view name, int defaultValue) {
    int position = 0;
    bool found = !eachToken(list, isListGap, [&](std::size_t, std::string_view word) {
        if (equalsIgnoringCase(word, name)) return false;
        ++position;
        return true;
    });
    return found ? position : defaultValue;
}

std::optional<std::int32_t> packedDate(std::string_view text) {
    if (auto packed = packedEnvelopeDate(text)) return *packed;
    std::tm record;
    DateSlots slots;
    if (parseDate(text, &record, slots) != kValidDate) return std::nullopt;
    if (slots.day < 0 || slots.month < 0 || slots.year < 0) return std::nullopt;
    // The index refuses years past 9999 as corrupt; such a date is no date.
    if (slots.year + 1900 > 9999) return std::nullopt;
    return packDate(slots.year + 1900, slots.month + 1, slots.day);
}

std::int32_t packedToday() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    return packDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

}  // namespace quill
