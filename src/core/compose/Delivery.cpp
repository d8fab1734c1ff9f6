#include "compose/Delivery.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "base/ByteSink.h"
#include "base/Diagnostics.h"
#include "base/FileHandles.h"
#include "compose/Mailer.h"
#include "compose/Send.h"
#include "message/MailMessage.h"
#include "message/date.h"
#include "platform/Error.h"
#include "platform/Localized.h"
#include "platform/Panels.h"
#include "settings/Defaults.h"
#include "store/MailBox.h"

namespace quill {

Delivery::Delivery(Send& send, StringList recipients)
    : m_send(send), m_recipients(std::move(recipients)) {}

Delivery::~Delivery() {
    if (!m_path.empty() && !m_handedOff) ::unlink(m_path.c_str());
}

bool Delivery::run() {
    return build() && writeTempFile() && sizeAccepted() && notInterrupted() && archived() &&
           notInterrupted() && handOff();
}

bool Delivery::build() {
    m_message = m_send.mailMessage();
    if (!m_message || !m_send.helpersAcceptDelivery(*m_message, m_recipients))
        return fail("Unable to deliver message");
    if (m_send.defaults().useSignatureFile()) m_message->addSignature();
    ByteSink sink;
    bool plain = &m_message->formatClass() == &MailMessage::mailClass();
    bool written = plain ? m_message->writeToStreamWrapAtColumn(sink, MailMessage::lineLength())
                         : m_message->writeToStream(sink);
    if (!written) return fail("Unable to deliver message (see console for possible causes)");
    m_bytes = sink.take();
    return true;
}

bool Delivery::writeTempFile() {
    std::string path = kTempPattern;
    UniqueFd fd(::mkstemp(path.data()));
    if (!fd) {
        Error::badFile(m_send.services().mail.panels, Status::fileFailure(kFileOpen, path));
        return fail("Unable to deliver message");
    }
    m_path = path;
    // Private whatever the creation mask: the message may hold Bcc recipients' mail.
    ::fchmod(fd.get(), 0600);
    int error = writeBytes(fd.get());
    if (error == 0 && (::ftruncate(fd.get(), off_t(m_bytes.size())) != 0 || ::fsync(fd.get()) != 0))
        error = errno;
    if (error == 0 && ::close(fd.release()) != 0) error = errno;
    if (error != 0) {
        Error::badFile(m_send.services().mail.panels,
                       Status::fileFailure(kFileWrite, m_path, error));
        return fail("Unable to deliver message");
    }
    return true;
}

int Delivery::writeBytes(int fd) {
    const auto& writer = m_send.services().writeFile;
    if (writer) return writer(fd, m_bytes);
    return writeAll(fd, m_bytes) ? 0 : errno;
}

bool Delivery::sizeAccepted() {
    long long limit = m_send.defaults().sendSizeLimit() * 1024LL;
    long long size = static_cast<long long>(m_bytes.size());
    if (limit == 0 || size <= limit) return true;
    std::string format =
        localized("Alerts",
                  "Your message is larger than the recommended maximum size (%s vs %s).  It may be "
                  "rejected by the network software if you try to send it anyway.");
    return deliverAnyway(
        formatString(format.c_str(), sizeString(size).c_str(), sizeString(limit).c_str()));
}

bool Delivery::notInterrupted() {
    const auto& interrupted = m_send.services().interruptRequested;
    return !(interrupted && interrupted()) ||
           deliverAnyway(localized("Alerts", "Delivery was interrupted."));
}

bool Delivery::archived() {
    if (!m_send.archive()) return true;
    MailBox* box = MailBox::newTempMailBox(m_send.archivePath(), m_send.services().mail);
    if (box && box->appendMessage(*m_message)) return true;
    return deliverAnyway(localized("Alerts", "Unable to archive this message"));
}

bool Delivery::handOff() {
    const SendServices& services = m_send.services();
    if (!Mailer::deliverMail(m_path, m_recipients, services.launcher, m_send.defaults(),
                             m_send.deliveryReport()))
        return fail("Unable to deliver message (see console for possible causes)");
    m_handedOff = true;
    m_send.handedOff();
    return true;
}

bool Delivery::deliverAnyway(const std::string& message) {
    AlertRequest request{localized("Alerts", "Deliver"),
                         message,
                         {localized("Buttons", "Deliver Anyway"), localized("Buttons", "Cancel")}};
    return m_send.services().mail.panels.runAlert(request) == kAlertDefault;
}

bool Delivery::fail(const char* message) {
    AlertRequest request{
        localized("Alerts", "Deliver"), localized("Alerts", message), {localized("Buttons", "OK")}};
    m_send.services().mail.panels.runAlert(request);
    return false;
}

}  // namespace quill
