// Dates, zones and sizes: the tolerant parser for the date forms found in
// "Date" headers and "From " envelope lines, the packed date the mailbox index
// stores, the numeric zone suffix used when Quill writes a date, the short
// size text shown to the user, and the word-list lookup used for priorities.
// Nothing here keeps state; results are returned as owned strings.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace quill {

// Result codes of parseFullDate (the parser itself never returns kInvalidMonth).
enum DateParseResult : int {
    kValidDate = 0,
    kInvalidMonth = 1,
    kInvalidDay = 2,
    kInvalidYear = 3,
    kInvalidTime = 4,
};

// Fills `record` (cleared first) from a date text such as
// "Thu, 13 Mar 1997 10:02:07 -0800" or "Thu Mar 13 10:02:07 1997".
// The clock time is kept as written (a numeric zone is consumed, not applied).
// The first all-digit token is the day of month, the second the year.
// Unset day of week is -1; unset day, month and year stay 0. On an invalid
// numeric token returns its code, leaving whatever was stored before it.
int parseFullDate(std::string_view text, std::tm* record);

// The date as the user's clock shows it: the written clock time moved from
// the zone the text names (numeric, or GMT/UT/UTC/Z) into the local zone; as
// written when the text names no zone or lacks a day, month or year; nothing
// when the text does not parse.
std::optional<std::tm> localFullDate(std::string_view text);

// The text of a result code ("Valid date", ...), or nullptr for other codes.
const char* getDateParse(int code);

// The zone suffix for an offset in seconds west of Greenwich (as the C
// library's `timezone` holds it): "GMT" for 0, else "-0800" west, "+0100" east.
std::string rfc822zone(long secondsWest);

// "%dKB" (kilobytes rounded up) below 1000 KB, else "%.1fMB"; both formats are
// looked up in the "UI" string table.
std::string sizeString(long long bytes);

// The zero-based position of `name` in `list` (names separated by white space
// and/or colons, compared case-insensitively over their full length), or
// `defaultValue` when it is not there.
int ordinalValue(std::string_view list, std::string_view name, int defaultValue);

// The packed date of the index: year * 512 + month * 32 + day, month 1..12,
// day 1..31, full year.
constexpr std::int32_t packDate(int year, int month, int day) {
    return year * 512 + month * 32 + day;
}
constexpr int packedYear(std::int32_t packed) { return packed >> 9; }
constexpr int packedMonth(std::int32_t packed) { return (packed >> 5) & 0xf; }
constexpr int packedDay(std::int32_t packed) { return packed & 0x1f; }

// The packed date of a date text, or nothing when the text holds no complete
// recognisable date (day, month and year all found and parsing succeeded,
// year at most 9999 so that the index accepts it again). For a "From " line
// give the text after the envelope sender: a sender such as "mary@x" would
// otherwise be read as the month.
std::optional<std::int32_t> packedDate(std::string_view text);

// Today's packed date in local time: the fallback before any date was parsed.
std::int32_t packedToday();

}  // namespace quill
