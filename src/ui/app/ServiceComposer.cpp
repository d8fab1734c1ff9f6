#include "ui/app/ServiceComposer.h"

#include <QTimer>

#include "ui/compose/ComposeTextEdit.h"

namespace quill {

void ServiceComposer::setField(int field, const std::string& value) {
    if (!m_window) return;
    m_window->send().setField(field, value);
    m_window->showField(field);
}

void ServiceComposer::setBody(const std::string& text) {
    if (!m_window) return;
    TextView& body = m_window->send().text();
    body.clear();
    body.replaceSel(text);
    m_window->textEdit()->reload();
    m_window->send().nowEditing();
}

void ServiceComposer::addAttachment(const std::string& path) {
    if (!m_window) return;
    TextView& body = m_window->send().text();
    body.setSel(body.textLength(), body.textLength());
    if (body.textLength() > 0 && body.plainText().back() != '\n') body.replaceSel("\n");
    body.replaceSelWithFile(path);
    m_window->textEdit()->reload();
    m_window->send().nowEditing();
}

void ServiceComposer::performDeliver() {
    if (!m_window) return;
    QTimer::singleShot(0, m_window, [window = m_window] { window->deliver(); });
}

void ServiceComposer::orderFront() {
    if (m_window) m_window->orderFront();
}

}  // namespace quill
