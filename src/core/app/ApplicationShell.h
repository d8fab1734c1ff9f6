// What the application driver asks of the windowing side: the application
// icon, sounds, opening mailbox windows and the final termination.
#pragma once

#include <memory>
#include <string>

namespace quill {

class MailWindowController;

class ApplicationShell {
  public:
    virtual ~ApplicationShell() = default;
    // 0 "nomail", 1 "newmail1", 2 "newmail2".
    virtual void setIconFrame(int frame) = 0;
    virtual bool canShowIconText() const = 0;
    virtual void setIconText(const std::string& text) = 0;
    // False when the sound file cannot be loaded.
    virtual bool playSound(const std::string& path) = 0;
    // Opens a mailbox window; nothing when the mailbox cannot be opened.
    virtual std::shared_ptr<MailWindowController> openMailboxWindow(const std::string& path) = 0;
    // Stops the event loop and ends the program (tests record it instead).
    virtual void terminateApplication() = 0;
    // Hides the application at log-in until the user shows it again (then
    // the driver's applicationDidUnhide runs); false when it cannot be hidden.
    virtual bool hideApplication() { return false; }
    // No window is open after the launch: offers opening a mailbox, the
    // preferences and quitting, so the program does not run on unseen.
    virtual void showLauncher() {}
};

}  // namespace quill
