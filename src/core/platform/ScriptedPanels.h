// ScriptedPanels: the test double for Panels. It records every alert, progress
// panel and beep, and answers alerts from a queue the test fills beforehand. An
// alert with no queued answer is unexpected: it is reported through
// onUnexpected (by default the process aborts with the alert's text).
#pragma once

#include <deque>
#include <functional>

#include "platform/Panels.h"

namespace quill {

struct ProgressRecord {
    std::string title;
    std::vector<std::string> messages;
    std::vector<double> fractions;
    bool cancelled = false;
};

class ScriptedPanels : public Panels {
  public:
    ScriptedPanels();

    // Queues the answer of the next alert: a button index.
    void answer(int button);
    // Queues an answer by button label; the alert's buttons must contain it.
    void answer(const std::string& buttonLabel);
    // The next progress panel reports itself cancelled after this many updates.
    void cancelProgressAfter(int updates);
    void queueOpenPanelAnswer(std::vector<std::string> paths);

    const std::vector<AlertRequest>& alerts() const { return m_alerts; }
    const std::vector<ProgressRecord>& progress() const { return *m_progress; }
    int beeps() const { return m_beeps; }
    size_t pendingAnswers() const { return m_answers.size(); }
    void clear();

    std::function<void(const AlertRequest&)> onUnexpected;

    int runAlert(const AlertRequest& request) override;
    std::unique_ptr<ProgressPanel> beginProgress(const std::string& title,
                                                 const std::string& message,
                                                 bool cancellable) override;
    void beep() override;
    std::vector<std::string> runOpenPanel(const OpenPanelRequest& request) override;

  private:
    struct Answer {
        int index;
        std::string label;
    };
    std::deque<Answer> m_answers;
    std::vector<AlertRequest> m_alerts;
    std::shared_ptr<std::vector<ProgressRecord>> m_progress;
    std::deque<std::vector<std::string>> m_openAnswers;
    int m_cancelAfter = -1;
    int m_beeps = 0;
};

}  // namespace quill
