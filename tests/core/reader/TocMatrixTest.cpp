// The message list: which rows are listed, lazy texts, sorting, deletion and
// the choice of the next message.
#include <gmock/gmock.h>

#include "message/date.h"
#include "reader/TocMatrix.h"
#include "settings/Defaults.h"
#include "support/QuillTest.h"

namespace quill {
namespace {

using test::QuillTest;
using ::testing::ElementsAre;

struct Row {
    int index;
    int day;
    std::uint8_t flags;
    std::string from, subject;
    std::int32_t size = 100;
    std::uint32_t priority = 0;
};

class TocMatrixTest : public QuillTest {
  protected:
    void load(const std::vector<Row>& rows, bool atStart = true) {
        m_rows = rows;
        MsgList list;
        for (const Row& r : rows) {
            MsgListRecord rec{};
            rec.index = r.index;
            rec.date = static_cast<std::uint32_t>(packDate(2024, 3, r.day));
            rec.flags = r.flags;
            rec.size = r.size;
            rec.priority = r.priority;
            list.append(rec);
        }
        matrix.loadToc(&list, atStart);
    }
    void SetUp() override {
        QuillTest::SetUp();
        matrix.setDetailsLoader([this](int id) {
            MailDetails details;
            for (const Row& r : m_rows) {
                if (r.index == id)
                    details = {static_cast<std::uint32_t>(packDate(2024, 3, r.day)), r.size,
                               r.priority};
            }
            return details;
        });
    }

    int loads = 0;
    std::vector<Row> m_rows;
    TocMatrix matrix{[this](int id, std::string& subject, std::string& from) {
                         ++loads;
                         for (const Row& r : m_rows) {
                             if (r.index == id) {
                                 subject = r.subject;
                                 from = r.from;
                             }
                         }
                     },
                     Defaults::shared()};
};

TEST_F(TocMatrixTest, DeletedMessagesAreListedOnlyWhenShown) {
    load({{0, 1, 0, "a", "s0"},
          {1, 2, kMsgDeleted, "b", "s1"},
          {2, 3, 0, "c", "s2"},
          {3, 4, kMsgDeleted, "d", "s3"},
          {4, 5, kMsgRead, "e", "s4"}});
    EXPECT_EQ(matrix.rowCount(), 3);
    EXPECT_EQ(matrix.rowForMsgId(2), 1);
    EXPECT_EQ(matrix.rowForMsgId(1), -1);
    matrix.setShowDeletions(true);
    load(m_rows);
    EXPECT_EQ(matrix.rowCount(), 5);
    matrix.setFocus(std::set<int>{1, 4});
    load(m_rows);
    EXPECT_THAT(matrix.getAll(), ElementsAre(1, 4));
    matrix.setFocus(std::nullopt);

    // New mail appended with every earlier record: each message listed once.
    load({{0, 1, 0, "a", "s0"}, {1, 2, 0, "b", "s1"}});
    load({{0, 1, 0, "a", "s0"}, {1, 2, 0, "b", "s1"}, {2, 3, 0, "c", "s2"}}, false);
    EXPECT_THAT(matrix.getAll(), ElementsAre(0, 1, 2));
}

TEST_F(TocMatrixTest, TextsLoadLazilyRowByRowOrAllInOnePass) {
    const std::string longSubject(100 * 1000, 's');  // longer than an arena block
    load({{0, 5, 0, "Ann", "Hello"}, {1, 12, 0, "Ann", longSubject}, {2, 30, 0, "Bob", ""}});
    EXPECT_EQ(loads, 0);
    MailTexts first = matrix.loadedTextsAtRow(0);
    EXPECT_EQ(loads, 1);
    EXPECT_EQ(first.from, "Ann");
    EXPECT_EQ(first.date, "Mar 5");
    EXPECT_EQ(TocMatrix::dateText(packDate(2024, 10, 30)), "Oct 30");
    EXPECT_EQ(TocMatrix::dateText(packDate(2024, 1, 0)), "Jan 0");

    // The rest in one pass over every message index, rows already loaded kept.
    std::vector<std::pair<int, int>> ranges;
    matrix.setRangeLoader([&](int first, int count, const TocMatrix::TextSink& sink) {
        ranges.emplace_back(first, count);
        for (const Row& r : m_rows) {
            std::string subject = r.subject, from = "range " + r.from;
            sink(r.index, subject, from);
        }
    });
    matrix.loadAllCells();
    EXPECT_EQ(loads, 1);
    EXPECT_THAT(ranges, ElementsAre(std::pair(0, 3)));
    auto texts = [&](int row) { return matrix.textsOf(matrix.cellAtRow(row)); };
    EXPECT_EQ(texts(0).from, "Ann");
    EXPECT_EQ(texts(1).from, "range Ann");
    EXPECT_EQ(texts(1).subject, longSubject);
    EXPECT_EQ(texts(1).date, "Mar 12");
    EXPECT_TRUE(texts(2).subject.empty());
    EXPECT_EQ(texts(2).date, "Mar 30");
}

TEST_F(TocMatrixTest, SortsUseTheirKeysAndTieBreaks) {
    load({{0, 9, 0, "To: bob", "lunch", 300, 0},
          {1, 2, 0, "Carol", "Re: Lunch", 100, 3},
          {2, 4, 0, "alice", "", 200, 1},
          {3, 1, 0, "Bob", "LUNCH", 100, 2}});
    matrix.sortBy(TocMatrix::SortKey::Subject);
    EXPECT_THAT(matrix.getAll(), ElementsAre(2, 3, 1, 0));  // no subject first, then by date
    matrix.sortBy(TocMatrix::SortKey::Name);
    EXPECT_THAT(matrix.getAll(), ElementsAre(2, 3, 0, 1));  // "To: " ignored, Bob ties by date
    matrix.sortBy(TocMatrix::SortKey::Priority);
    EXPECT_THAT(matrix.getAll(), ElementsAre(2, 3, 1, 0));
    matrix.sortBy(TocMatrix::SortKey::Date);
    EXPECT_THAT(matrix.getAll(), ElementsAre(3, 1, 2, 0));
    matrix.sortBy(TocMatrix::SortKey::Number);
    EXPECT_THAT(matrix.getAll(), ElementsAre(0, 1, 2, 3));
}

TEST_F(TocMatrixTest, ASecondClickOnAHeaderReversesTheOrder) {
    load({{0, 3, 0, "a", "c"}, {1, 1, 0, "b", "b"}, {2, 2, 0, "c", "a"}});
    struct Click {
        const char* name;
        TocMatrix::SortKey key;
        bool descending;
        std::vector<int> order;
    };
    const Click clicks[] = {
        {"first click ascends", TocMatrix::SortKey::Date, false, {1, 2, 0}},
        {"second click descends", TocMatrix::SortKey::Date, true, {0, 2, 1}},
        {"third click ascends again", TocMatrix::SortKey::Date, false, {1, 2, 0}},
        {"another column starts ascending", TocMatrix::SortKey::Subject, false, {2, 1, 0}},
    };
    for (const Click& c : clicks) {
        matrix.sortByHeader(c.key);
        EXPECT_EQ(matrix.sortDescending(), c.descending) << c.name;
        EXPECT_EQ(matrix.getAll(), c.order) << c.name;
    }
    matrix.sortByHeader(TocMatrix::SortKey::Subject);
    matrix.sortBy(TocMatrix::SortKey::Subject);  // the menu always sorts ascending
    EXPECT_FALSE(matrix.sortDescending());
}

TEST_F(TocMatrixTest, SortingKeepsTheSelectedMessages) {
    load({{0, 3, 0, "a", "c"}, {1, 2, 0, "b", "b"}, {2, 1, 0, "c", "a"}});
    matrix.selectRow(0);
    matrix.sortBy(TocMatrix::SortKey::Date);
    EXPECT_THAT(matrix.getSelection(), ElementsAre(0));
    EXPECT_EQ(matrix.selectedRow(), 2);
}

TEST_F(TocMatrixTest, DeletingHidesOrMarksTheSelectedRows) {
    load({{0, 1, 0, "a", "0"}, {1, 2, 0, "b", "1"}, {2, 3, 0, "c", "2"}, {3, 4, 0, "d", "3"}});
    matrix.selectRow(1);
    matrix.selectRow(2, true);
    EXPECT_THAT(matrix.deleteSelection(), ElementsAre(1, 2));
    EXPECT_THAT(matrix.getAll(), ElementsAre(0, 3));
    EXPECT_EQ(matrix.rowForMsgId(3), 1);

    matrix.setShowDeletions(true);
    load(m_rows);
    matrix.selectRow(0);
    matrix.deleteSelection();
    EXPECT_EQ(matrix.rowCount(), 4);
    EXPECT_TRUE(matrix.cellForMsgId(0)->isDeleted());
}

// The window redraws in place while the layout version stays; a missed bump
// would leave it showing rows in their old places.
TEST_F(TocMatrixTest, LayoutVersionMovesOnlyWhenRowsMoveOrGo) {
    load({{0, 3, 0, "a", "x"}, {1, 1, 0, "b", "y"}, {2, 2, 0, "c", "z"}});
    std::uint64_t version = matrix.layoutVersion();
    matrix.msgRead(1);
    matrix.cellAtRow(2).setFlagged(true);
    matrix.setShowDeletions(true);
    matrix.selectRow(0);
    matrix.deleteSelection();
    EXPECT_EQ(matrix.layoutVersion(), version) << "flags only";

    std::vector<std::uint64_t> seen{version};
    matrix.sortBy(TocMatrix::SortKey::Date);
    seen.push_back(matrix.layoutVersion());
    matrix.setShowDeletions(false);
    matrix.selectRow(1);
    matrix.deleteSelection();
    seen.push_back(matrix.layoutVersion());
    load(m_rows);
    seen.push_back(matrix.layoutVersion());
    EXPECT_TRUE(std::adjacent_find(seen.begin(), seen.end()) == seen.end());
}

TEST_F(TocMatrixTest, NextMessagePassesDeletedRowsAndFallsBackUpwards) {
    load({{0, 1, 0, "a", "0"}, {1, 2, 0, "b", "1"}, {2, 3, kMsgDeleted, "c", "2"}});
    matrix.setShowDeletions(true);
    load(m_rows);
    matrix.selectRow(1);
    EXPECT_EQ(matrix.nextMsgId(false), 2);
    EXPECT_EQ(matrix.nextMsgId(true), 0);  // nothing acceptable below: the row above
    store->set("DeleteAlwaysSelects", "NO");
    Defaults::shared().setStore(store);
    EXPECT_EQ(matrix.nextMsgId(true), -1);
    matrix.clearSelection();
    EXPECT_EQ(matrix.nextMsgId(false), -1);
}

TEST_F(TocMatrixTest, FindUnreadWrapsAndSkipsDeleted) {
    load({{0, 1, 0, "a", "0"}, {1, 2, kMsgRead, "b", "1"}, {2, 3, kMsgRead, "c", "2"}});
    EXPECT_EQ(matrix.findUnread(0), 0);
    matrix.msgRead(0);
    EXPECT_EQ(matrix.findUnread(0), -1);
}

}  // namespace
}  // namespace quill
