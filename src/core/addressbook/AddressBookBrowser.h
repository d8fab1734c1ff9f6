// AddressBookBrowser: the decisions of the address-book window. Three columns:
// the five categories, the names of the chosen category, and the members of
// the chosen name. The window forwards the user's clicks, the name field's
// text and its buttons (Add, Remove, Save, Find, To, Cc) and then shows the
// rows and selections read back from here; alerts come from here too.
#pragma once

#include <string>
#include <vector>

#include "addressbook/AliasIndexer.h"

namespace quill {

class AddressBookBrowser {
  public:
    enum Column { kCategories = 0, kNames = 1, kMembers = 2, kColumnCount = 3 };

    explicit AddressBookBrowser(Alias& alias);

    // The window is being shown: classifies the book and counts afresh.
    void windowWillShow();

    int rowCount(int column);
    const std::string& rowText(int column, int row);
    int selectedRow(int column) const { return m_selected[column]; }
    // The column the user works in: that of the deepest selection, the names
    // once a category is chosen.
    int currentColumn() const;
    // Whether the rows of a column lead to a further column (the categories,
    // and names that have members).
    bool leadsFurther(int column) const;
    // Selecting a row clears the selections to its right.
    void select(int column, int row);

    // The name field's text changed: selects the first row of the current
    // column whose lower-cased name begins with it. Answers that row or -1.
    int typeAhead(const std::string& typed);

    void add(const std::string& nameField);
    void remove();
    void save();
    void find(const std::string& nameField);
    void append(bool toCc);

  private:
    const std::vector<std::string>& rows(int column);
    void addToGroups(const std::string& name);
    void addMember(const std::string& name);
    void edited();
    void selectText(int column, const std::string& text);
    int category() const { return m_selected[kCategories]; }

    Alias& m_alias;
    AliasIndexer m_indexer;
    int m_selected[kColumnCount] = {-1, -1, -1};
    std::vector<std::string> m_categories;
    std::vector<std::string> m_members;
};

}  // namespace quill
