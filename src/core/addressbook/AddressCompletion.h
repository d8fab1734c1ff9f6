// AddressCompletion: one press of the completion key in a compose header
// field. The address being typed runs from after the field's last comma before
// the selection's end (leading blanks left out) to the selection's end; the
// characters before the selection are what the user typed, the selection is
// the previous completion. Each press puts in the next name in order with its
// untyped part selected; when none is left the address is cut back to the
// typed characters and the field beeps. Positions are byte offsets in the
// field's text.
#pragma once

#include <cstddef>
#include <string>

#include "addressbook/AliasBook.h"

namespace quill {

class AddressCompletion {
  public:
    AddressCompletion(std::string text, size_t selectionStart, size_t selectionEnd);

    // True when a name was put in; false when none is left (the caller beeps).
    bool complete(AliasBook& book);

    const std::string& text() const { return m_text; }
    size_t selectionStart() const { return m_start; }
    size_t selectionEnd() const { return m_end; }

  private:
    size_t addressStart() const;

    std::string m_text;
    size_t m_start;
    size_t m_end;
};

}  // namespace quill
