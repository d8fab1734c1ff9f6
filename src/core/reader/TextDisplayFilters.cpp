#include "reader/TextDisplayFilters.h"

#include <vector>

namespace quill {

namespace {

std::vector<TextDisplayFilters::Filter>& filters() {
    static std::vector<TextDisplayFilters::Filter> registered;
    return registered;
}

}  // namespace

void TextDisplayFilters::add(Filter filter) { filters().push_back(std::move(filter)); }

void TextDisplayFilters::removeAll() { filters().clear(); }

void TextDisplayFilters::willDisplayText(TextView& view) {
    for (const Filter& filter : filters()) filter(view);
}

}  // namespace quill
