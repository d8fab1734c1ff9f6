// TextDisplayFilters: what may change a message's text after it is rendered
// and before its window shows it (the link buttons, for one). The application
// registers them at start-up; each shown message passes through all of them in
// the order they were added.
#pragma once

#include <functional>

#include "richtext/TextView.h"

namespace quill {

class TextDisplayFilters {
  public:
    using Filter = std::function<void(TextView&)>;

    static void add(Filter filter);
    static void removeAll();
    static void willDisplayText(TextView& view);
};

}  // namespace quill
