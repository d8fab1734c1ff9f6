// AddressBookWindow: the address book as a column browser. The categories,
// the names of the chosen category and the members of the chosen name stand
// side by side; below them the name field (typing selects the first matching
// row) and the buttons Add, Remove, Find, Save, To and Cc. Every decision is
// the core AddressBookBrowser's; the window only forwards and shows. While
// the book is still loading on its thread the window says so and stays
// responsive.
#pragma once

#include <QTimer>
#include <QWidget>
#include <array>
#include <memory>

#include "addressbook/AddressBookBrowser.h"

class QLabel;
class QLineEdit;
class QListView;
class QPushButton;

namespace quill {

class AddressBookColumnModel;

class AddressBookWindow : public QWidget {
    Q_OBJECT
  public:
    explicit AddressBookWindow(Alias& alias, QWidget* parent = nullptr);
    ~AddressBookWindow() override;

    // Null until the book has loaded.
    AddressBookBrowser* browser() const { return m_browser.get(); }
    QListView* column(int index) const { return m_views[index]; }
    QLineEdit* nameField() const { return m_name; }
    QPushButton* button(const QString& title) const;

  protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    QWidget* buildColumns();
    QWidget* buildControls();
    void waitForBook();
    void clicked(int column, int row);
    // Shows the browser's rows from a column on, then every selection.
    void refresh(int fromColumn = 0);

    Alias& m_alias;
    std::unique_ptr<AddressBookBrowser> m_browser;
    std::array<QListView*, AddressBookBrowser::kColumnCount> m_views{};
    std::array<AddressBookColumnModel*, AddressBookBrowser::kColumnCount> m_models{};
    QLineEdit* m_name = nullptr;
    QLabel* m_status = nullptr;
    QTimer m_loading;
    bool m_refreshing = false;
};

}  // namespace quill
