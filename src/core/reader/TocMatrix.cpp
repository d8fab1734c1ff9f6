#include "reader/TocMatrix.h"

#include <algorithm>

#include "base/Diagnostics.h"
#include "base/ascii.h"
#include "message/date.h"
#include "platform/Localized.h"
#include "settings/Defaults.h"

namespace quill {
namespace {

constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::string_view withoutPrefix(std::string_view v, std::string_view prefix) {
    if (v.substr(0, prefix.size()) == prefix) v.remove_prefix(prefix.size());
    return v;
}

unsigned priorityRank(std::uint32_t priority) {
    return static_cast<std::uint8_t>(priority - 1) % 16;  // 1 first, none (0) last
}

bool isTextKey(TocMatrix::SortKey key) {
    return key == TocMatrix::SortKey::Name || key == TocMatrix::SortKey::Subject;
}

}  // namespace

TocMatrix::TocMatrix(SubjectLoader loader, Defaults& defaults)
    : m_loader(std::move(loader)),
      m_defaults(defaults),
      m_showDeletions(defaults.showDeletions()),
      m_showSizes(defaults.showSizes()) {}

// Ties of the text sorts go to the date, then the index.
bool TocMatrix::byDateThenIndex(const MailCell& a, const MailCell& b) const {
    std::uint32_t dateA = detailsOf(a).dateVal, dateB = detailsOf(b).dateVal;
    if (dateA != dateB) return dateA < dateB;
    return a.msgId() < b.msgId();
}

TocMatrix::Comparison TocMatrix::comparisonFor(SortKey key) const {
    switch (key) {
        case SortKey::Date:
            return [this](const MailCell& a, const MailCell& b) { return byDateThenIndex(a, b); };
        case SortKey::Name:
            return [this](const MailCell& a, const MailCell& b) {
                int c = compareIgnoringCase(withoutPrefix(textsOf(a).from, "To: "),
                                            withoutPrefix(textsOf(b).from, "To: "));
                return c != 0 ? c < 0 : byDateThenIndex(a, b);
            };
        case SortKey::Subject:
            return [this](const MailCell& a, const MailCell& b) {
                std::string_view subjectA = textsOf(a).subject, subjectB = textsOf(b).subject;
                if (subjectA.empty() != subjectB.empty()) return subjectA.empty();
                int c = compareIgnoringCase(withoutPrefix(subjectA, "Re: "),
                                            withoutPrefix(subjectB, "Re: "));
                return c != 0 ? c < 0 : byDateThenIndex(a, b);
            };
        case SortKey::Size:
            return [this](const MailCell& a, const MailCell& b) {
                return detailsOf(a).size < detailsOf(b).size;
            };
        case SortKey::Priority:
            return [this](const MailCell& a, const MailCell& b) {
                return priorityRank(detailsOf(a).priority) < priorityRank(detailsOf(b).priority);
            };
        case SortKey::Number:
            break;
    }
    return [](const MailCell& a, const MailCell& b) { return a.msgId() < b.msgId(); };
}

bool TocMatrix::listed(const MsgListRecord& record) const {
    if (m_focus && !m_focus->count(record.index)) return false;
    return m_showDeletions || !(record.flags & kMsgDeleted);
}

void TocMatrix::loadToc(const MsgList* list, bool atStart) {
    if (!list) return;
    if (atStart) {
        m_rows.clear();
        m_cellTab.clear();
        m_texts.clear();
        m_selected.clear();
        // Exactly what a large mailbox needs, where growing by doubling could
        // leave almost as much again unused.
        m_rows.reserve(list->count());
        m_cellTab.reserve(list->count());
    }
    ++m_layoutVersion;
    for (const MsgListRecord& record : *list) {
        // New mail may come with every record of the mailbox: the rows
        // already listed stay as they are.
        if (!listed(record) || (!atStart && rowForMsgId(record.index) >= 0)) continue;
        setRowOf(record.index, static_cast<int>(m_rows.size()));
        m_rows.emplace_back(record);
    }
    if (atStart && m_sortKey != SortKey::Number) sortBy(m_sortKey);
    changed();
}

// The text shows only the month and the day, the low bits of a packed date.
const std::string& TocMatrix::dateTextOf(std::uint32_t packedDate) {
    std::string& text = m_dateTexts[packedDate % m_dateTexts.size()];
    if (text.empty()) text = dateText(packedDate);
    return text;
}

std::string TocMatrix::dateText(std::uint32_t packedDate) {
    int month = packedMonth(static_cast<std::int32_t>(packedDate));
    int day = packedDay(static_cast<std::int32_t>(packedDate));
    const char* name = month >= 1 && month <= 12 ? kMonths[month - 1] : "???";
    std::string format = localized(kUITable, "%b %d");
    std::string text;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size() &&
            (format[i + 1] == 'b' || format[i + 1] == 'd')) {
            text += format[i + 1] == 'b' ? std::string(name) : formatString("%02d", day);
            ++i;
        } else {
            text += format[i];
        }
    }
    // A zero that opens a number is dropped: "Mar 05" reads "Mar 5".
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        bool opensNumber = i == 0 || !isDigit(text[i - 1]);
        if (text[i] == '0' && opensNumber && isDigit(text[i + 1])) {
            text.erase(i, 1);
            break;
        }
    }
    return text;
}

void TocMatrix::storeTexts(MailCell& cell, const std::string& subject, const std::string& from) {
    // A text cut at a NUL reads as the record did, where strings end at one.
    cell.setTexts(m_texts.store({std::string_view(from.c_str()), std::string_view(subject.c_str()),
                                 dateTextOf(detailsOf(cell).dateVal)}));
}

MailTexts TocMatrix::textsOf(const MailCell& cell) const {
    const char* from = m_texts.at(cell.texts());
    if (!from) return {};
    std::string_view fromText(from);
    std::string_view subject(fromText.data() + fromText.size() + 1);
    return {fromText, subject, std::string_view(subject.data() + subject.size() + 1)};
}

MailDetails TocMatrix::detailsOf(const MailCell& cell) const {
    return m_detailsLoader ? m_detailsLoader(cell.msgId()) : MailDetails{};
}

void TocMatrix::loadCell(MailCell& cell) {
    std::string subject, from;
    m_loader(cell.msgId(), subject, from);
    storeTexts(cell, subject, from);
}

void TocMatrix::loadAllCells() {
    auto unloaded = std::count_if(m_rows.begin(), m_rows.end(),
                                  [](const MailCell& cell) { return !cell.isLoaded(); });
    // A pass over the whole index pays off once a good part of the rows want texts.
    if (m_rangeLoader && unloaded > 0 &&
        unloaded * 8 >= static_cast<std::ptrdiff_t>(m_rows.size())) {
        m_rangeLoader(0, static_cast<int>(m_cellTab.size()),
                      [this](int msgId, std::string& subject, std::string& from) {
                          MailCell* cell = cellForMsgId(msgId);
                          if (cell && !cell->isLoaded()) storeTexts(*cell, subject, from);
                      });
    }
    for (MailCell& cell : m_rows) {
        if (!cell.isLoaded()) loadCell(cell);
    }
}

MailCell& TocMatrix::cellAtRow(int row) { return m_rows.at(static_cast<size_t>(row)); }

const MailCell& TocMatrix::loadedCellAtRow(int row) {
    MailCell& cell = cellAtRow(row);
    if (!cell.isLoaded()) loadCell(cell);
    return cell;
}

MailCell* TocMatrix::cellForMsgId(int msgId) {
    int row = rowForMsgId(msgId);
    return row < 0 ? nullptr : &m_rows[static_cast<size_t>(row)];
}

int TocMatrix::rowForMsgId(int msgId) const {
    if (msgId < 0 || static_cast<std::size_t>(msgId) >= m_cellTab.size()) return -1;
    return m_cellTab[static_cast<std::size_t>(msgId)];
}

void TocMatrix::rebuildIndex() {
    std::fill(m_cellTab.begin(), m_cellTab.end(), -1);
    for (size_t row = 0; row < m_rows.size(); ++row) {
        setRowOf(m_rows[row].msgId(), static_cast<int>(row));
    }
}

void TocMatrix::setRowOf(int msgId, int row) {
    if (msgId < 0) return;
    auto id = static_cast<std::size_t>(msgId);
    if (id >= m_cellTab.size()) m_cellTab.resize(id + 1, -1);
    m_cellTab[id] = row;
}

void TocMatrix::sortBy(SortKey key) {
    m_sortKey = key;
    m_sortDescending = false;
    sortRows(comparisonFor(key), isTextKey(key));
}

void TocMatrix::sortByHeader(SortKey key) {
    bool reverse = key == m_sortKey && !m_sortDescending;
    if (!reverse) return sortBy(key);
    m_sortDescending = true;
    sortRows(
        [less = comparisonFor(key)](const MailCell& a, const MailCell& b) { return less(b, a); },
        isTextKey(key));
}

// Orders by date, size or priority read no texts, so a large list sorted
// that way loads only the rows it draws.
void TocMatrix::sortRows(const Comparison& less, bool byText) {
    std::vector<int> selectedIds = getSelection();
    if (byText) loadAllCells();
    std::stable_sort(m_rows.begin(), m_rows.end(), less);
    ++m_layoutVersion;
    rebuildIndex();
    selectMsgIds(selectedIds);
    changed();
}

bool TocMatrix::setShowDeletions(bool on) {
    if (m_showDeletions == on) return false;
    m_showDeletions = on;
    changed();
    return true;
}

bool TocMatrix::setShowSizes(bool on) {
    if (m_showSizes == on) return false;
    m_showSizes = on;
    changed();
    return true;
}

void TocMatrix::selectRow(int row, bool extend) {
    if (!extend) m_selected.clear();
    if (row >= 0 && row < rowCount()) m_selected.insert(row);
}

void TocMatrix::selectRows(const std::set<int>& rows) {
    m_selected.clear();
    for (int row : rows) selectRow(row, true);
}

void TocMatrix::selectMsgIds(const std::vector<int>& msgIds) {
    m_selected.clear();
    for (int id : msgIds) selectRow(rowForMsgId(id), true);
}

std::vector<int> TocMatrix::getSelection() const {
    std::vector<int> ids;
    for (int row : m_selected) ids.push_back(m_rows[static_cast<size_t>(row)].msgId());
    return ids;
}

std::vector<int> TocMatrix::getAll() const {
    std::vector<int> ids;
    ids.reserve(m_rows.size());
    for (const MailCell& c : m_rows) ids.push_back(c.msgId());
    return ids;
}

std::vector<int> TocMatrix::deleteSelection() {
    std::vector<int> ids = getSelection();
    if (m_showDeletions) {
        for (int row : m_selected) m_rows[static_cast<size_t>(row)].setDeleted(true);
    } else {
        for (auto it = m_selected.rbegin(); it != m_selected.rend(); ++it) {
            if (!m_rows[static_cast<size_t>(*it)].isDeleted()) m_rows.erase(m_rows.begin() + *it);
        }
        m_selected.clear();
        rebuildIndex();
        ++m_layoutVersion;
    }
    changed();
    return ids;
}

void TocMatrix::msgRead(int msgId) {
    if (MailCell* cell = cellForMsgId(msgId)) {
        cell->setRead(true);
        changed();
    }
}

int TocMatrix::nextMsgId(bool skipDeleted) const {
    if (m_selected.empty()) return -1;
    auto acceptable = [&](int row) {
        return !skipDeleted || !m_rows[static_cast<size_t>(row)].isDeleted();
    };
    for (int row = *m_selected.rbegin() + 1; row < rowCount(); ++row) {
        if (acceptable(row)) return m_rows[static_cast<size_t>(row)].msgId();
        if (!skipDeleted) break;
    }
    if (!skipDeleted) return -1;
    if (m_showDeletions && !m_defaults.deleteAlwaysSelects()) return -1;
    for (int row = *m_selected.begin() - 1; row >= 0; --row) {
        if (acceptable(row)) return m_rows[static_cast<size_t>(row)].msgId();
    }
    return -1;
}

int TocMatrix::findUnread(int afterRow) const {
    int n = rowCount();
    for (int step = 1; step <= n; ++step) {
        int row = ((afterRow + step) % n + n) % n;
        const MailCell& c = m_rows[static_cast<size_t>(row)];
        if (!c.isRead() && !c.isDeleted()) return row;
    }
    return -1;
}

void TocMatrix::setFocus(std::optional<std::set<int>> msgIds) { m_focus = std::move(msgIds); }

void TocMatrix::changed() {
    if (onChanged) onChanged();
}

}  // namespace quill
