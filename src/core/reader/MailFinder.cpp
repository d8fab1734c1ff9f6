#include "reader/MailFinder.h"

#include <charconv>

#include "base/Diagnostics.h"
#include "platform/Localized.h"
#include "platform/Panels.h"
#include "reader/MailReader.h"
#include "reader/MessageTextSearch.h"
#include "settings/Defaults.h"

namespace quill {
namespace {

// The one-character unread mark of the list (the platform's middle dot).
constexpr std::string_view kUnreadMark = "\xB7";
// Bytes a slice of the whole-mailbox search looks at between clock checks.
constexpr std::size_t kTextSlice = 1u << 20;

std::string ui(const char* text) { return localized(kUITable, text); }

}  // namespace

MailFinder::MailFinder(MailReader& reader)
    : m_reader(reader), m_runLoop(reader.mailbox().context().runLoop) {}

MailFinder::~MailFinder() {
    if (m_display) m_runLoop.cancel(m_display);
}

bool MailFinder::summaryMatches(const FindExpression& expression, const MailCell& cell,
                                const MailTexts& texts, int row) {
    if ((!cell.isRead() && expression.matches(kUnreadMark)) || expression.matches(texts.subject) ||
        expression.matches(texts.from) || expression.matches(texts.date)) {
        return true;
    }
    // The number the row shows, NUL-terminated for the matcher, without a
    // string allocated for each row of a large list.
    char number[16] = {};
    char* end = std::to_chars(number, number + sizeof number - 1, row + 1).ptr;
    return expression.matches(std::string_view(number, static_cast<std::size_t>(end - number)));
}

bool MailFinder::begin(const FindOptions& options, bool forward, bool all, bool focusHeld) {
    m_expression = FindExpression::compile(options);
    m_status.clear();
    m_interrupted = false;
    m_matches = 0;
    m_visited = 0;
    if (!m_expression) {
        m_status = ui("No\ntext");
        m_failed = true;
        m_reader.mailbox().context().panels.beep();
        return false;
    }
    m_forward = forward || all;
    m_all = all;
    m_focusHeld = focusHeld;
    m_searchMessages = options.searchMessages;
    m_text = m_searchMessages
                 ? std::make_unique<MessageTextSearch>(m_reader.mailbox(), *m_expression)
                 : nullptr;
    // Find All reads the whole mailbox once, in file order, before visiting rows.
    m_textSearched = !(m_searchMessages && all);
    TocMatrix& matrix = m_reader.matrix();
    // The record texts of every row come in one pass over the index far
    // sooner than row by row; texts decoded from each message's headers
    // stay row by row, where the search can be interrupted.
    if (!m_searchMessages && !matrix.utf8Texts()) matrix.loadAllCells();
    m_row = all ? -1 : matrix.selectedRow();
    m_toVisit = matrix.rowCount() - (m_row >= 0 ? 1 : 0);
    // Without a selection a backward search begins at the last row.
    if (m_row < 0 && !m_forward) m_row = matrix.rowCount();
    return true;
}

bool MailFinder::rowMatches(int row) {
    TocMatrix& matrix = m_reader.matrix();
    if (!m_searchMessages) {
        MailTexts texts = matrix.loadedTextsAtRow(row);
        return summaryMatches(*m_expression, matrix.cellAtRow(row), texts, row);
    }
    int msgId = matrix.cellAtRow(row).msgId();
    return m_all ? m_text->found(msgId) : m_text->matches(msgId);
}

// Visits one row; false when the visit is over.
bool MailFinder::visitRow() {
    if (m_interrupted || m_visited >= m_toVisit) return false;
    int rows = m_reader.matrix().rowCount();
    m_row = ((m_forward ? m_row + 1 : m_row - 1) % rows + rows) % rows;
    ++m_visited;
    if (!rowMatches(m_row)) return true;
    matched(m_row);
    return m_all;
}

void MailFinder::matched(int row) {
    TocMatrix& matrix = m_reader.matrix();
    if (++m_matches == 1) {
        m_reader.emptyMsg();
        matrix.selectRow(row);
        m_reader.scrollToRow(row);
    } else {
        matrix.selectRow(row, true);
    }
    if (m_all) m_status = formatString(localizedCount("%d found", m_matches).c_str(), m_matches);
}

bool MailFinder::step(std::chrono::milliseconds slice) {
    if (!running()) return true;
    auto until = std::chrono::steady_clock::now() + slice;
    while (!m_textSearched && !m_interrupted) {
        m_textSearched = m_text->searchSome(kTextSlice);
        if (std::chrono::steady_clock::now() >= until) return false;
    }
    for (int n = 0;; ++n) {
        if (!visitRow()) break;
        if (n % 64 == 63 && std::chrono::steady_clock::now() >= until) return false;
    }
    end();
    return true;
}

void MailFinder::finish() {
    while (!step(std::chrono::milliseconds(1000))) {
    }
}

double MailFinder::fraction() const {
    double rows = m_toVisit > 0 ? double(m_visited) / m_toVisit : 1.0;
    if (m_textSearched) return m_text && m_all ? 0.5 + rows / 2 : rows;
    return m_text->fraction() / 2;
}

void MailFinder::end() {
    Panels& panels = m_reader.mailbox().context().panels;
    if (m_matches == 0) {
        m_status = ui(m_interrupted ? "Interrupted" : "Not found");
        panels.beep();
    } else {
        scheduleDisplay();
        if (m_all && m_interrupted)
            m_status = formatString(ui("Interrupted\n(%s)").c_str(), m_status.c_str());
    }
    m_failed = m_matches == 0 || m_interrupted;
    if (m_all && m_focusHeld && m_matches > 0) m_reader.focus();
    m_reader.matrixChanged();
    m_expression.reset();
    m_text.reset();
}

void MailFinder::scheduleDisplay() {
    int delay = m_reader.defaults().foundDisplayDelay();
    if (delay < 0) return;
    if (m_display) m_runLoop.cancel(m_display);
    m_display = m_runLoop.performAfter(std::chrono::milliseconds(delay), [this] {
        m_display = 0;
        m_reader.selectionDidChange();
    });
}

bool MailFinder::findUnread(MailReader& reader, bool all) {
    TocMatrix& matrix = reader.matrix();
    matrix.clearSelection();
    bool any = false;
    for (int row = 0; row < matrix.rowCount(); ++row) {
        if (matrix.cellAtRow(row).isRead()) continue;
        matrix.selectRow(row, any);
        if (!any) reader.scrollToRow(row);
        any = true;
        if (!all) break;
    }
    reader.matrixChanged();
    return any;
}

}  // namespace quill
