// Every status character an index may hold answers the questions the reader
// and the counters ask, and the current-message mark comes and goes without
// losing a deletion.
#include <gtest/gtest.h>

#include "store/MessageStatus.h"

namespace quill {
namespace {

TEST(MessageStatus, AnswersForEveryCharacterAndMovesTheMark) {
    struct Row {
        char onDisk;
        bool deleted, unread, current;
        char asCurrent, asNotCurrent;
    };
    const Row rows[] = {
        {' ', false, false, false, '>', ' '}, {'*', false, true, false, '>', '*'},
        {'u', false, true, false, '>', 'u'},  {'<', false, false, false, '>', '<'},
        {'f', false, false, false, '>', 'f'}, {'+', false, false, false, '>', '+'},
        {'>', false, false, true, '>', ' '},  {'d', true, false, false, 'D', 'd'},
        {'D', true, false, true, 'D', 'd'},
    };
    for (const Row& r : rows) {
        MessageStatus s(r.onDisk);
        EXPECT_EQ(s.isDeleted(), r.deleted) << r.onDisk;
        EXPECT_EQ(s.isUnread(), r.unread) << r.onDisk;
        EXPECT_EQ(s.isCurrent(), r.current) << r.onDisk;
        EXPECT_EQ(s.asCurrent().toChar(), r.asCurrent) << r.onDisk;
        EXPECT_EQ(s.asNotCurrent().toChar(), r.asNotCurrent) << r.onDisk;
    }
}

}  // namespace
}  // namespace quill
