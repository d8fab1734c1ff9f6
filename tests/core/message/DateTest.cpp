// Dates, zones, sizes and the priority word list.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "message/date.h"
#include "platform/Localized.h"
#include "support/QuillTest.h"

namespace quill {
namespace {

struct DateRow {
    const char* name;
    const char* text;
    int result;
    int mday, mon, year, wday, hour, min, sec;
};

// Well-formed dates in the forms mail actually carries.
const DateRow kValidDates[] = {
    {"rfc822", "Thu, 13 Mar 1997 10:02:07 -0800", 0, 13, 2, 97, 4, 10, 2, 7},
    {"envelope", "Thu Mar 13 10:02:07 1997", 0, 13, 2, 97, 4, 10, 2, 7},
    {"two_digit_year", "13 Mar 97", 0, 13, 2, 97, -1, 0, 0, 0},
    {"after_2000", "13 Mar 2003", 0, 13, 2, 103, -1, 0, 0, 0},
    {"no_seconds", "Mon, 1 Dec 1997 9:05 +0100", 0, 1, 11, 97, 1, 9, 5, 0},
    {"obsolete_zone_ignored", "Fri, 31 Oct 1997 23:59:59 PST", 0, 31, 9, 97, 5, 23, 59, 59},
    {"zone_comment_ignored", "Sat, 1 Jan 2000 00:00:00 +0000 (UTC)", 0, 1, 0, 100, 6, 0, 0, 0},
    {"meridian_glued_to_seconds", "2 Feb 1998 10:20:30pm", 0, 2, 1, 98, -1, 10, 20, 30},
    {"full_names", "Wednesday, 4 February 1998", 0, 4, 1, 98, 3, 0, 0, 0},
    {"lower_case_names", "tue, 7 apr 1998", 0, 7, 3, 98, 2, 0, 0, 0},
    {"empty_time_parts", "1 May 1999 12::", 0, 1, 4, 99, -1, 12, 0, 0},
    {"no_date_at_all", "hello world", 0, 0, 0, 0, -1, 0, 0, 0},
    {"empty", "", 0, 0, 0, 0, -1, 0, 0, 0},
};

struct InvalidDateRow {
    const char* name;
    const char* text;
    int result;
};

// Broken numeric tokens stop the parse with their code.
const InvalidDateRow kInvalidDates[] = {
    {"year_too_short", "13 Mar 03", 3},
    {"us_order_month_as_year", "3/13/97", 3},
    {"zone_before_year", "Thu Mar 13 10:02:07 -0800 1997", 3},
    {"minutes_out_of_range", "13 Mar 1997 10:61", 4},
    {"hours_out_of_range", "13 Mar 1997 24:00", 4},
    {"letters_in_minutes", "13 Mar 1997 10:02pm", 4},
    {"day_out_of_range", "32 Mar 1997", 2},
    {"day_zero", "0 Mar 1997", 2},
    {"day_with_letters", "13th Mar 1997", 2},
    {"year_in_1800s", "13 Mar 1850", 3},
    {"year_beyond_range", "13 Mar 100001", 3},
    {"huge_number", "99999999999999999999 Mar", 2},
};

TEST(DateTest, ParsesWellFormedDates) {
    for (const DateRow& row : kValidDates) {
        SCOPED_TRACE(row.name);
        std::tm tm;
        std::memset(&tm, 0x55, sizeof tm);
        ASSERT_EQ(parseFullDate(row.text, &tm), row.result);
        EXPECT_EQ(tm.tm_mday, row.mday);
        EXPECT_EQ(tm.tm_mon, row.mon);
        EXPECT_EQ(tm.tm_year, row.year);
        EXPECT_EQ(tm.tm_wday, row.wday);
        EXPECT_EQ(tm.tm_hour, row.hour);
        EXPECT_EQ(tm.tm_min, row.min);
        EXPECT_EQ(tm.tm_sec, row.sec);
        EXPECT_EQ(tm.tm_yday, 0);
        EXPECT_EQ(tm.tm_isdst, 0);
    }
}

TEST(DateTest, ReportsTheFirstInvalidToken) {
    for (const InvalidDateRow& row : kInvalidDates) {
        SCOPED_TRACE(row.name);
        std::tm tm;
        EXPECT_EQ(parseFullDate(row.text, &tm), row.result);
    }
}

TEST(DateTest, TimeFieldsStoredBeforeAFailureRemain) {
    std::tm tm;
    ASSERT_EQ(parseFullDate("10:20:30 32 Mar", &tm), kInvalidDay);
    EXPECT_EQ(tm.tm_hour, 10);
    EXPECT_EQ(tm.tm_sec, 30);
    EXPECT_EQ(tm.tm_mday, 0);
}

TEST(DateTest, ResultTexts) {
    EXPECT_STREQ(getDateParse(0), "Valid date");
    EXPECT_STREQ(getDateParse(4), "Invalid time");
    EXPECT_EQ(getDateParse(5), nullptr);
    EXPECT_EQ(getDateParse(-1), nullptr);
}

TEST(DateTest, ZoneTextFollowsRfc822Sign) {
    EXPECT_EQ(rfc822zone(0), "GMT");
    EXPECT_EQ(rfc822zone(28800), "-0800");
    EXPECT_EQ(rfc822zone(-3600), "+0100");
    EXPECT_EQ(rfc822zone(-19800), "+0530");  // India, half an hour
    EXPECT_EQ(rfc822zone(12600), "-0330");   // Newfoundland
}

// The written zone moves the clock into the local zone, across a day line
// either way; a text naming no zone keeps its clock.
TEST(DateTest, LocalDateAppliesTheWrittenZone) {
    struct Row {
        const char* zone;
        const char* text;
        int mday, hour, min;
    };
    const Row rows[] = {
        {"UTC0", "Mon, 4 Mar 2024 23:30:00 -0800", 5, 7, 30},
        {"UTC0", "Mon, 4 Mar 2024 10:00:00 +0530", 4, 4, 30},
        {"EST5", "Tue, 5 Mar 2024 02:00:00 GMT", 4, 21, 0},
        {"EST5", "Tue, 5 Mar 2024 02:00:00", 5, 2, 0},
        {"EST5", "Tue Mar  5 02:00:00 1996", 5, 2, 0},
    };
    std::string saved = std::getenv("TZ") ? std::getenv("TZ") : "";
    for (const Row& row : rows) {
        ::setenv("TZ", row.zone, 1);
        ::tzset();
        std::optional<std::tm> local = localFullDate(row.text);
        ASSERT_TRUE(local) << row.text;
        EXPECT_EQ(local->tm_mday, row.mday) << row.text;
        EXPECT_EQ(local->tm_hour, row.hour) << row.text;
        EXPECT_EQ(local->tm_min, row.min) << row.text;
    }
    EXPECT_FALSE(localFullDate("Mon, 4 Mar 2024 25:00:00 GMT"));
    saved.empty() ? ::unsetenv("TZ") : ::setenv("TZ", saved.c_str(), 1);
    ::tzset();
}

TEST(DateTest, SizeText) {
    EXPECT_EQ(sizeString(0), "0KB");
    EXPECT_EQ(sizeString(1024), "1KB");
    EXPECT_EQ(sizeString(1025), "2KB");
    EXPECT_EQ(sizeString(999 * 1024), "999KB");
    EXPECT_EQ(sizeString(1000 * 1024), "1.0MB");
    EXPECT_EQ(sizeString(2000000), "1.9MB");
    EXPECT_EQ(sizeString(5LL * 1024 * 1024 * 1024), "5120.0MB");
}

TEST(DateTest, SizeFormatsComeFromTheUITable) {
    setTranslator(
        [](const std::string& table, const std::string& text) -> std::optional<std::string> {
            if (table == "UI" && text == "%dKB") return "%d Ko";
            return std::nullopt;
        });
    EXPECT_EQ(sizeString(2048), "2 Ko");
    EXPECT_EQ(sizeString(2000000), "1.9MB");
    setTranslator(nullptr);
}

TEST(DateTest, OrdinalValueFindsWholeNamesIgnoringCase) {
    const char* list = "Low Normal:High  :: Urgent";
    EXPECT_EQ(ordinalValue(list, "low", -1), 0);
    EXPECT_EQ(ordinalValue(list, "HIGH", -1), 2);
    EXPECT_EQ(ordinalValue(list, "urgent", -1), 3);
    EXPECT_EQ(ordinalValue(list, "Norm", -1), -1);
    EXPECT_EQ(ordinalValue(list, "Normality", 7), 7);
    EXPECT_EQ(ordinalValue("", "low", 5), 5);
}

TEST(DateTest, PackedDateNeedsACompleteDate) {
    EXPECT_EQ(packedDate("Thu Mar 13 10:02:07 1997"), packDate(1997, 3, 13));
    EXPECT_EQ(packedDate("Sat Jan  1 00:00:00 2000"), packDate(2000, 1, 1));
    EXPECT_EQ(packedDate("31 Dec 9999"), packDate(9999, 12, 31));
    EXPECT_EQ(packedDate("31 Dec 10000"), std::nullopt);  // the index would refuse it
    EXPECT_EQ(packedDate("Thu 13 1997"), std::nullopt);   // no month
    EXPECT_EQ(packedDate("Thu Mar 1997"), std::nullopt);  // the year taken as day fails
    EXPECT_EQ(packedDate("Thu Mar 13 10:02:07"), std::nullopt);
    EXPECT_EQ(packedDate("32 Mar 1997"), std::nullopt);
}

// Every "Date:" header and the envelope date of every message in the corpus
// mailboxes give a complete date.
TEST(DateTest, DatesOfTheCorpusMailboxes) {
    const char* files[] = {"mbox/lkml-210.mbox", "mbox/gmime-substring.mbox",
                           "mbox/mimekit-gmail-export.mbox", "mbox/notmuch-default-53.mbox"};
    int dates = 0;
    for (const char* name : files) {
        auto mbox = test::corpusFile(name);
        if (!mbox) GTEST_SKIP() << "corpus absent";
        std::string text = test::slurp(*mbox);
        bool inHeader = false;
        for (std::size_t pos = 0; pos < text.size();) {
            std::size_t end = std::min(text.find('\n', pos), text.size());
            std::string_view line(text.data() + pos, end - pos);
            pos = end + 1;
            std::string_view date;
            if (line.starts_with("From ") && !inHeader) {
                inHeader = true;
                // After the envelope sender; exported mail may carry no date there.
                std::size_t blank = line.find(' ', 5);
                if (blank != std::string_view::npos) date = line.substr(blank + 1);
            } else if (line.empty()) {
                inHeader = false;
            } else if (inHeader && line.starts_with("Date: ")) {
                date = line.substr(6);
            }
            if (date.empty()) continue;
            SCOPED_TRACE(std::string(line));
            auto packed = packedDate(date);
            ASSERT_TRUE(packed.has_value());
            EXPECT_GE(packedYear(*packed), 1990);
            ++dates;
        }
    }
    EXPECT_GT(dates, 100);
}

}  // namespace
}  // namespace quill
