// TocMatrix: the message list of a mailbox window. Rows are built from the
// mailbox's message-list records, which are not kept: date, size and priority
// are read from the mailbox's index when asked for. Sender, subject and date
// texts are loaded lazily through the window, a row at a time for the rows
// drawn, or all at once in one pass over the index when every row is wanted
// (a sort by text, a find). The texts sit in one arena, so a row is a small
// fixed-size record. The list sorts, hides deleted messages, narrows to a
// focus set and keeps the selection. The Qt view asks it only for the rows it
// draws.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "reader/MailCell.h"
#include "reader/TextArena.h"

namespace quill {

class Defaults;

class TocMatrix {
  public:
    // Fills a message's subject and display-form sender (the mailbox's loadSubject).
    using SubjectLoader = std::function<void(int msgId, std::string& subject, std::string& from)>;
    // Receives a message's texts during a load of many.
    using TextSink = std::function<void(int msgId, std::string& subject, std::string& from)>;
    // Hands the texts of messages first .. first + count - 1 to the sink in one pass.
    using RangeLoader = std::function<void(int first, int count, const TextSink& sink)>;
    // A message's date, size and priority as the mailbox's index holds them.
    using DetailsLoader = std::function<MailDetails(int msgId)>;
    using Comparison = std::function<bool(const MailCell&, const MailCell&)>;
    enum class SortKey { Number, Date, Name, Subject, Size, Priority };

    // Whether deletions and sizes show, and what a deletion selects, follow `defaults`.
    TocMatrix(SubjectLoader loader, Defaults& defaults);

    // Rebuilds the rows from the records (atStart) or appends rows for them.
    void loadToc(const MsgList* list, bool atStart);
    // How loadAllCells reads every row's texts at once; without one, row by row.
    void setRangeLoader(RangeLoader loader) { m_rangeLoader = std::move(loader); }
    // Where date, size and priority come from; without one they are zero.
    void setDetailsLoader(DetailsLoader loader) { m_detailsLoader = std::move(loader); }
    void loadCell(MailCell& cell);
    void loadAllCells();
    int rowCount() const { return static_cast<int>(m_rows.size()); }
    MailCell& cellAtRow(int row);
    const MailCell& cellAtRow(int row) const { return m_rows.at(static_cast<size_t>(row)); }
    // The cell of a row, loading its texts first.
    const MailCell& loadedCellAtRow(int row);
    // A row's texts, loading them first.
    MailTexts loadedTextsAtRow(int row) { return textsOf(loadedCellAtRow(row)); }
    // The texts of a cell as loaded so far.
    MailTexts textsOf(const MailCell& cell) const;
    MailDetails detailsOf(const MailCell& cell) const;

    MailCell* cellForMsgId(int msgId);
    int rowForMsgId(int msgId) const;
    // The date text of a packed date: "%b %d" with the day's leading zero removed.
    static std::string dateText(std::uint32_t packedDate);

    void sortBy(SortKey key);
    // A click on a column's header: that key ascending, or the order reversed
    // when the list is already sorted by it.
    void sortByHeader(SortKey key);
    SortKey sortKey() const { return m_sortKey; }
    bool sortDescending() const { return m_sortDescending; }

    // Whether the loaded texts are UTF-8 (the Unicode display) or ISO 8859-1.
    bool utf8Texts() const { return m_utf8Texts; }
    void setUtf8Texts(bool utf8) { m_utf8Texts = utf8; }

    bool showDeletions() const { return m_showDeletions; }
    bool setShowDeletions(bool on);
    bool showSizes() const { return m_showSizes; }
    bool setShowSizes(bool on);

    // Selection, by row.
    void selectRow(int row, bool extend = false);
    void selectRows(const std::set<int>& rows);
    void selectMsgIds(const std::vector<int>& msgIds);
    void clearSelection() { m_selected.clear(); }
    const std::set<int>& selectedRows() const { return m_selected; }
    int selectedRow() const { return m_selected.empty() ? -1 : *m_selected.begin(); }
    // Message indices of the selection in row order.
    std::vector<int> getSelection() const;
    std::vector<int> getAll() const;
    bool haveMultipleSelection() const { return m_selected.size() > 1; }
    // Takes the selection for deletion (hiding or marking the rows); answers its indices.
    std::vector<int> deleteSelection();

    void msgRead(int msgId);
    // The message to show after the selected row, or -1.
    int nextMsgId(bool skipDeleted) const;
    // The next unread, undeleted row after `afterRow`, wrapping; -1 when none.
    int findUnread(int afterRow) const;

    void setFocus(std::optional<std::set<int>> msgIds);
    bool isFocused() const { return m_focus.has_value(); }
    std::size_t focusCount() const { return m_focus ? m_focus->size() : 0; }

    // Called whenever rows change, so the view redraws.
    std::function<void()> onChanged;
    // Goes up whenever rows are added, removed or reordered, not when only a
    // row's flags change; a view redraws in place while it stays the same.
    std::uint64_t layoutVersion() const { return m_layoutVersion; }

  private:
    Comparison comparisonFor(SortKey key) const;
    bool byDateThenIndex(const MailCell& a, const MailCell& b) const;
    // Sorts the rows, loading every row's texts first when the order reads them.
    void sortRows(const Comparison& less, bool byText);
    void storeTexts(MailCell& cell, const std::string& subject, const std::string& from);
    const std::string& dateTextOf(std::uint32_t packedDate);
    bool listed(const MsgListRecord& record) const;
    void rebuildIndex();
    void setRowOf(int msgId, int row);
    void changed();

    SubjectLoader m_loader;
    RangeLoader m_rangeLoader;
    DetailsLoader m_detailsLoader;
    std::vector<MailCell> m_rows;
    TextArena m_texts;
    // Date texts by month and day, as many as a packed date's low bits can hold.
    std::vector<std::string> m_dateTexts = std::vector<std::string>(512);
    // Row of each message index, -1 when it is not listed: message indices
    // are dense, so four bytes a message instead of a hash node.
    std::vector<int> m_cellTab;
    std::set<int> m_selected;
    std::optional<std::set<int>> m_focus;
    Defaults& m_defaults;
    bool m_showDeletions = false;
    bool m_showSizes = true;
    bool m_utf8Texts = false;
    SortKey m_sortKey = SortKey::Number;
    bool m_sortDescending = false;
    std::uint64_t m_layoutVersion = 0;
};

}  // namespace quill
