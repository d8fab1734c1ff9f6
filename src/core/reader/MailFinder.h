// MailFinder: find in a mailbox window's message list. A search visits the
// rows from the selection on (all of them from the first for Find All),
// wrapping at the ends, selects the first match (every match with Find All,
// counting them in the status line) and schedules the display of the found
// message after "FoundDisplayDelay". It runs in slices so that the window
// stays live, shows progress and can be interrupted; interrupting keeps the
// matches found so far.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "platform/RunLoop.h"
#include "reader/FindExpression.h"

namespace quill {

class MailCell;
struct MailTexts;
class MailReader;
class MessageTextSearch;

class MailFinder {
  public:
    explicit MailFinder(MailReader& reader);
    ~MailFinder();

    // Starts a search. False when there is nothing to search for; the status
    // then says "No\ntext" and the search has already ended, failed.
    // `focusHeld`: the modifier that narrows the window to the matches of a
    // Find All was held.
    bool begin(const FindOptions& options, bool forward, bool all, bool focusHeld);
    // Visits rows for about `slice`; true once the search is over.
    bool step(std::chrono::milliseconds slice);
    // Runs the begun search to its end.
    void finish();
    // Stops the search before the next row; it ends at the next step.
    void interrupt() { m_interrupted = true; }
    bool running() const { return m_expression != nullptr; }
    double fraction() const;

    const std::string& status() const { return m_status; }
    bool failed() const { return m_failed; }
    int matchCount() const { return m_matches; }

    // Whether a row's summary matches: the unread mark of an unread message,
    // its subject, its sender, its date text or its number (row + 1).
    static bool summaryMatches(const FindExpression& expression, const MailCell& cell,
                               const MailTexts& texts, int row);
    // Selects the first unread row (every unread row with `all`); false when none.
    static bool findUnread(MailReader& reader, bool all);

  private:
    bool rowMatches(int row);
    bool visitRow();
    void matched(int row);
    void end();
    void scheduleDisplay();

    MailReader& m_reader;
    RunLoop& m_runLoop;
    std::unique_ptr<FindExpression> m_expression;
    std::unique_ptr<MessageTextSearch> m_text;
    bool m_searchMessages = false;
    bool m_textSearched = false;
    bool m_forward = true;
    bool m_all = false;
    bool m_focusHeld = false;
    bool m_interrupted = false;
    bool m_failed = false;
    int m_row = -1;
    int m_toVisit = 0;
    int m_visited = 0;
    int m_matches = 0;
    std::string m_status;
    RunLoop::Id m_display = 0;
};

}  // namespace quill
