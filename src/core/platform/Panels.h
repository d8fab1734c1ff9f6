// Panels: the modal questions and progress the core asks of whoever shows it.
// The GUI installs Qt panels; tools install console panels; tests install
// ScriptedPanels. Core code never draws anything itself.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace quill {

// Answers of an alert: the index of the chosen button (the first is the default).
enum AlertAnswer : int { kAlertDefault = 0, kAlertAlternate = 1, kAlertOther = 2 };

struct AlertRequest {
    std::string title;
    std::string message;
    std::vector<std::string> buttons;  // one to three, the default first
};

// A panel that reports a long operation and may be cancelled by the user.
class ProgressPanel {
  public:
    virtual ~ProgressPanel() = default;
    virtual void setMessage(const std::string& message) = 0;
    // Fraction done in [0, 1]; a negative value means unknown.
    virtual void setFraction(double fraction) = 0;
    virtual bool cancelled() const = 0;
};

struct OpenPanelRequest {
    std::string title;
    std::string directory;
    bool chooseDirectories = false;
    bool allowMultiple = false;
};

class Panels {
  public:
    virtual ~Panels() = default;
    virtual int runAlert(const AlertRequest& request) = 0;
    virtual std::unique_ptr<ProgressPanel> beginProgress(const std::string& title,
                                                         const std::string& message,
                                                         bool cancellable) = 0;
    virtual void beep() = 0;
    // The chosen paths; empty when the user cancelled.
    virtual std::vector<std::string> runOpenPanel(const OpenPanelRequest& request) = 0;
};

// The panels every part of the core asks; console panels until one is installed.
Panels& panels();
void installPanels(std::shared_ptr<Panels> panels);

// Shows an alert whose title and message come from the "Alerts" table and whose
// buttons come from the "Buttons" table; null buttons are left out. The message
// is a printf format filled after translation. Answers the chosen button's index.
int runAlert(const char* title, const char* format, const char* defaultButton,
             const char* alternateButton, const char* otherButton, ...)
    __attribute__((format(printf, 2, 6)));
// The same on panels handed to the caller.
int runAlert(Panels& panels, const char* title, const char* format, const char* defaultButton,
             const char* alternateButton, const char* otherButton, ...)
    __attribute__((format(printf, 3, 7)));

}  // namespace quill
