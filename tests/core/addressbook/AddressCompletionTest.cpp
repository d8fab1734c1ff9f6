// Pressing the completion key in a header field, again and again.
#include <gtest/gtest.h>

#include "AddressBookTest.h"
#include "addressbook/AddressCompletion.h"

namespace quill::test {
namespace {

class AddressCompletionTest : public AddressBookTest {};

struct Field {
    std::string text;
    size_t start, end;
    bool completed;
    bool operator==(const Field&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Field& f) {
    return out << '"' << f.text << "\" [" << f.start << ',' << f.end << ") " << f.completed;
}

Field press(AliasBook& book, const Field& field) {
    AddressCompletion c(field.text, field.start, field.end);
    bool completed = c.complete(book);
    return {c.text(), c.selectionStart(), c.selectionEnd(), completed};
}

TEST_F(AddressCompletionTest, EachPressTakesTheNextNameThenCutsBack) {
    writeFile("people/passwd", "joan:x\nJohn:x\njoseph:x\n");
    AliasBook& book = load();
    Field f{"ann@x,  jo, bob", 10, 10, false};
    std::vector<Field> expected = {
        {"ann@x,  joan, bob", 10, 12, true},
        {"ann@x,  John, bob", 10, 12, true},
        {"ann@x,  joseph, bob", 10, 14, true},
        {"ann@x,  jo, bob", 10, 10, false},
    };
    for (const Field& next : expected) EXPECT_EQ(f = press(book, f), next);
}

TEST_F(AddressCompletionTest, TheFirstAddressAndAnEmptyField) {
    writeFile("people/passwd", "joan:x\n");
    AliasBook& book = load();
    EXPECT_EQ(press(book, {"J", 1, 1, false}), (Field{"joan", 1, 4, true}));
    EXPECT_EQ(press(book, {"", 0, 0, false}), (Field{"joan", 0, 4, true}));
    EXPECT_EQ(press(book, {"x", 1, 1, false}), (Field{"x", 1, 1, false}));
}

}  // namespace
}  // namespace quill::test
