#include "platform/ScriptedPanels.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace quill {
namespace {

class ScriptedProgress : public ProgressPanel {
  public:
    ScriptedProgress(std::shared_ptr<std::vector<ProgressRecord>> records, size_t index,
                     int cancelAfter)
        : m_records(std::move(records)), m_index(index), m_cancelAfter(cancelAfter) {}

    void setMessage(const std::string& message) override {
        record().messages.push_back(message);
        tick();
    }
    void setFraction(double fraction) override {
        record().fractions.push_back(fraction);
        tick();
    }
    bool cancelled() const override { return (*m_records)[m_index].cancelled; }

  private:
    ProgressRecord& record() { return (*m_records)[m_index]; }
    void tick() {
        if (m_cancelAfter >= 0 && ++m_updates >= m_cancelAfter) record().cancelled = true;
    }

    std::shared_ptr<std::vector<ProgressRecord>> m_records;
    size_t m_index;
    int m_cancelAfter;
    int m_updates = 0;
};

std::string describe(const AlertRequest& r) {
    std::string s = r.title + ": " + r.message + " [";
    for (size_t i = 0; i < r.buttons.size(); ++i) s += (i ? "/" : "") + r.buttons[i];
    return s + "]";
}

}  // namespace

ScriptedPanels::ScriptedPanels() : m_progress(std::make_shared<std::vector<ProgressRecord>>()) {
    onUnexpected = [](const AlertRequest& r) {
        std::fprintf(stderr, "ScriptedPanels: unexpected alert %s\n", describe(r).c_str());
        std::abort();
    };
}

void ScriptedPanels::answer(int button) { m_answers.push_back({button, {}}); }

void ScriptedPanels::answer(const std::string& buttonLabel) {
    m_answers.push_back({-1, buttonLabel});
}

void ScriptedPanels::cancelProgressAfter(int updates) { m_cancelAfter = updates; }

void ScriptedPanels::queueOpenPanelAnswer(std::vector<std::string> paths) {
    m_openAnswers.push_back(std::move(paths));
}

void ScriptedPanels::clear() {
    m_answers.clear();
    m_alerts.clear();
    m_progress->clear();
    m_openAnswers.clear();
    m_cancelAfter = -1;
    m_beeps = 0;
}

int ScriptedPanels::runAlert(const AlertRequest& request) {
    m_alerts.push_back(request);
    if (m_answers.empty()) {
        onUnexpected(request);
        return kAlertDefault;
    }
    Answer a = m_answers.front();
    m_answers.pop_front();
    if (a.index >= 0) return a.index;
    for (size_t i = 0; i < request.buttons.size(); ++i) {
        if (request.buttons[i] == a.label) return static_cast<int>(i);
    }
    AlertRequest wrong = request;
    wrong.message += " (scripted answer \"" + a.label + "\" is not a button)";
    onUnexpected(wrong);
    return kAlertDefault;
}

std::unique_ptr<ProgressPanel> ScriptedPanels::beginProgress(const std::string& title,
                                                             const std::string& message,
                                                             bool cancellable) {
    ProgressRecord record;
    record.title = title;
    record.messages.push_back(message);
    m_progress->push_back(std::move(record));
    int cancelAfter = cancellable ? m_cancelAfter : -1;
    m_cancelAfter = -1;
    return std::make_unique<ScriptedProgress>(m_progress, m_progress->size() - 1, cancelAfter);
}

void ScriptedPanels::beep() { ++m_beeps; }

std::vector<std::string> ScriptedPanels::runOpenPanel(const OpenPanelRequest&) {
    if (m_openAnswers.empty()) return {};
    auto paths = std::move(m_openAnswers.front());
    m_openAnswers.pop_front();
    return paths;
}

}  // namespace quill
