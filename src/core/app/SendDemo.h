// The delegate of the mail service: drives compose windows for other
// programs. The handle-less calls fill one shared composer; openSend: opens
// windows that are addressed by handle, their index in sendList, so the
// handles of later windows shift down when an earlier one closes. Every call
// answers 0, or -1 when there is no window system to open windows with or the
// handle is not a window's.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/ComposerFactory.h"

namespace quill {

class MailtoURL;

class SendDemo {
  public:
    static SendDemo& shared();

    void setFactory(ComposerFactory* factory) { m_factory = factory; }
    // How incorporateNewMail asks the application to take in new mail.
    void setIncorporate(std::function<void()> incorporate) {
        m_incorporate = std::move(incorporate);
    }

    int openSend();
    int setTo(const std::string& text);
    int setSubject(const std::string& text);
    int setCc(const std::string& text);
    int setBody(const std::string& text);
    int deliver();

    int openSend(int& handle);
    int setTo(const std::string& text, int handle);
    int setSubject(const std::string& text, int handle);
    int setCc(const std::string& text, int handle);
    int setBody(const std::string& text, int handle);
    int deliver(int handle);

    int incorporateNewMail();
    // Opens a compose window filled from a mailto link (and files to attach).
    int compose(const MailtoURL& link);

    // The shared composer, made when there is none; null without a factory.
    RemoteComposer* theComposer();
    void resetTheComposer() { m_composer.reset(); }
    bool validHandle(int handle) const;
    int setField(int field, const std::string& text, int handle);
    // A closing compose window leaves the list (and stops being the shared one).
    void composerWillClose(const RemoteComposer* window);

    const std::vector<std::shared_ptr<RemoteComposer>>& sendList() const { return m_sendList; }

  private:
    int setSharedField(int field, const std::string& text);
    RemoteComposer* windowAt(int handle) const;

    ComposerFactory* m_factory = nullptr;
    std::function<void()> m_incorporate;
    std::shared_ptr<RemoteComposer> m_composer;
    std::vector<std::shared_ptr<RemoteComposer>> m_sendList;
};

}  // namespace quill
