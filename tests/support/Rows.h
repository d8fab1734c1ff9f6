// Table-driven checks of a text function: one row per input, each failure
// naming the row's input.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

namespace quill::test {

struct TextRow {
    std::string_view input;
    std::string expected;
};

inline void expectRows(const std::function<std::string(std::string_view)>& f,
                       std::initializer_list<TextRow> rows) {
    for (const TextRow& row : rows) EXPECT_EQ(f(row.input), row.expected) << "input: " << row.input;
}

}  // namespace quill::test
