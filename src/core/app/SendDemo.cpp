#include "app/SendDemo.h"

#include <algorithm>

#include "message/MailtoURL.h"

namespace quill {

SendDemo& SendDemo::shared() {
    static SendDemo demo;
    return demo;
}

int SendDemo::openSend() {
    resetTheComposer();
    return theComposer() ? 0 : -1;
}

int SendDemo::setTo(const std::string& text) { return setSharedField(RemoteComposer::To, text); }
int SendDemo::setSubject(const std::string& text) {
    return setSharedField(RemoteComposer::Subject, text);
}
int SendDemo::setCc(const std::string& text) { return setSharedField(RemoteComposer::Cc, text); }

int SendDemo::setBody(const std::string& text) {
    RemoteComposer* composer = theComposer();
    if (!composer) return -1;
    composer->setBody(text);
    return 0;
}

int SendDemo::deliver() {
    RemoteComposer* composer = theComposer();
    if (!composer) return -1;
    composer->performDeliver();
    return 0;
}

int SendDemo::openSend(int& handle) {
    if (!m_factory) return -1;
    std::shared_ptr<RemoteComposer> window = m_factory->newSendWindow();
    if (!window) return -1;
    m_sendList.push_back(std::move(window));
    handle = static_cast<int>(m_sendList.size()) - 1;
    return 0;
}

int SendDemo::setTo(const std::string& text, int handle) {
    return setField(RemoteComposer::To, text, handle);
}
int SendDemo::setSubject(const std::string& text, int handle) {
    return setField(RemoteComposer::Subject, text, handle);
}
int SendDemo::setCc(const std::string& text, int handle) {
    return setField(RemoteComposer::Cc, text, handle);
}

int SendDemo::setBody(const std::string& text, int handle) {
    RemoteComposer* window = windowAt(handle);
    if (!window) return -1;
    window->setBody(text);
    return 0;
}

int SendDemo::deliver(int handle) {
    RemoteComposer* window = windowAt(handle);
    if (!window) return -1;
    window->performDeliver();
    return 0;
}

int SendDemo::incorporateNewMail() {
    if (!m_incorporate) return -1;
    m_incorporate();
    return 0;
}

int SendDemo::compose(const MailtoURL& link) {
    if (!m_factory) return -1;
    std::shared_ptr<RemoteComposer> window = m_factory->newSendWindow();
    if (!window) return -1;
    const std::pair<int, const std::string*> fields[] = {{RemoteComposer::To, &link.to},
                                                         {RemoteComposer::Subject, &link.subject},
                                                         {RemoteComposer::Cc, &link.cc},
                                                         {RemoteComposer::Bcc, &link.bcc}};
    for (const auto& [field, value] : fields)
        if (!value->empty()) window->setField(field, *value);
    if (!link.body.empty()) window->setBody(link.body);
    for (const std::string& path : link.attachments) window->addAttachment(path);
    window->orderFront();
    return 0;
}

RemoteComposer* SendDemo::theComposer() {
    if (!m_composer && m_factory) m_composer = m_factory->newSendWindow();
    return m_composer.get();
}

bool SendDemo::validHandle(int handle) const {
    return handle >= 0 && handle < static_cast<int>(m_sendList.size());
}

int SendDemo::setField(int field, const std::string& text, int handle) {
    RemoteComposer* window = windowAt(handle);
    if (!window) return -1;
    window->setField(field, text);
    return 0;
}

void SendDemo::composerWillClose(const RemoteComposer* window) {
    if (m_composer.get() == window) m_composer.reset();
    std::erase_if(m_sendList, [window](const auto& w) { return w.get() == window; });
}

int SendDemo::setSharedField(int field, const std::string& text) {
    RemoteComposer* composer = theComposer();
    if (!composer) return -1;
    composer->setField(field, text);
    return 0;
}

RemoteComposer* SendDemo::windowAt(int handle) const {
    return validHandle(handle) ? m_sendList[static_cast<size_t>(handle)].get() : nullptr;
}

}  // namespace quill
