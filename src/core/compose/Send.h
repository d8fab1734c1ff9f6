// Send: one outgoing message while it is written, the toolkit-free half of a
// compose window. It holds the header fields by number, the body as a
// TextView, the per-message switches (format, read receipt, encryption,
// archive) and the window's mode, and works out the title and the size
// display. deliver() checks the fields, builds the message of the chosen
// format, archives a copy and hands it to the mailer; the mailer's end comes
// back through didDeliver(). saveDraft() files the message in the drafts
// mailbox. What the window shows goes through a SendView; alerts go through
// the panels of the context.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/RunLoop.h"
#include "richtext/TextView.h"
#include "store/MailContext.h"

namespace quill {

class AliasBook;
class Defaults;
class MailMessage;
class ProcessLauncher;
class StringList;

// The header fields of a compose window by number.
enum SendField : int {
    kFieldTo = 0,
    kFieldSubject = 1,
    kFieldCc = 2,
    kFieldBcc = 3,
    kFieldReplyTo = 4,
    kFieldUser1 = 5,  // the value of the header named by "UserKey1"
    kFieldUser2 = 6,  // the value of the header named by "UserKey2"
    kFieldReferences = 7,
};
inline constexpr int kSendFieldCount = 8;

// What the window is doing; the title follows it.
enum SendMode : int {
    kModeComposing = 0,
    kModeDelivered = 4,  // handed to the mailer, window hidden
    kModeDelivering = 6,
    kModeSaving = 7,
};

// The sendFormat index of the plain format (the first message class).
inline constexpr int kPlainFormat = 0;

// What a compose window shows of its Send. The Qt window implements it; the
// defaults do nothing, so tools and tests override only what they watch.
class SendView {
  public:
    virtual ~SendView() = default;
    virtual void setTitle(const std::string& title) = 0;
    virtual void setSizeText(const std::string& /*text*/) {}
    // The body is rich: the Deliver button shows the special-delivery image.
    virtual void setSpecialDelivery(bool /*rich*/) {}
    // The window's edited mark (the close box).
    virtual void setDocumentEdited(bool /*edited*/) {}
    // Copies what the form's fields hold into the Send before it is read.
    virtual void commitFieldEdits() {}
    // The format changed: the text takes plain or rich text from now on.
    virtual void formatChanged(int /*index*/) {}
    virtual void hideWindow() {}
    virtual void orderFront() {}
    // Closes the window as if the user had (after a successful delivery).
    virtual void performClose() {}
};

// Add-on objects attached to a compose window; either hook may refuse.
class SendHelper {
  public:
    virtual ~SendHelper() = default;
    virtual bool messageBuilt(MailMessage& /*message*/) { return true; }
    virtual bool willDeliver(MailMessage& /*message*/, const StringList& /*recipients*/) {
        return true;
    }
};

// What a Send needs from the application: settings, panels and run loop (the
// mail context), the launcher for the mailer, the address book and a few
// seams that the GUI and tests fill.
struct SendServices {
    SendServices(MailContext mail, ProcessLauncher& launcher,
                 std::function<AliasBook*()> aliases = {})
        : mail(std::move(mail)), launcher(launcher), aliases(std::move(aliases)) {}

    MailContext mail;
    ProcessLauncher& launcher;
    // The address book, asked for only when addresses are expanded, so a
    // window opens while the book still loads; none leaves addresses as they are.
    std::function<AliasBook*()> aliases;
    // Whether the user typed "." to interrupt (taking it from the queue); unset: never.
    std::function<bool()> interruptRequested;
    // Whether a user event is waiting (stops counting attachment sizes); unset: never.
    std::function<bool()> userEventWaiting;
    // A check for new mail, when "AutoFetch" asks for one after delivery.
    std::function<void()> checkForMail;
    // The application forgets its current composer (this one) once delivered.
    std::function<void()> forgetComposer;
    // Writes all bytes to the temporary file; answers 0 or an errno. Unset:
    // write(2). Tests make it fail as a full disk would.
    std::function<int(int fd, std::string_view bytes)> writeFile;
};

class Send {
  public:
    // A new window's state from the settings: format, switches, Reply-To and user headers.
    explicit Send(SendServices services);
    ~Send();
    Send(const Send&) = delete;
    Send& operator=(const Send&) = delete;

    void setView(SendView* view);
    const SendServices& services() const { return m_services; }

    // ---- fields ----
    // The field's text with leading white space skipped; nothing when blank.
    std::optional<std::string> getField(int field) const;
    // Setting the Subject retitles the window.
    void setField(int field, std::string_view value);
    // The field's name in messages ("To", "Bcc", the user header's key...),
    // through the "UI" table when translating.
    std::string errStringFor(int field, bool translate) const;

    // ---- body ----
    TextView& text() { return m_text; }
    const TextView& text() const { return m_text; }
    bool isPlainText() const;
    // Where a native message keeps its document while being built; none by default.
    void setTempDocument(std::optional<std::string> path) { m_tempDocument = std::move(path); }

    // ---- switches ----
    int mode() const { return m_mode; }
    bool editing() const { return m_editing; }
    bool readReceipt() const { return m_readReceipt; }
    void setReadReceipt(bool on) { m_readReceipt = on; }
    void toggleReceipt() { m_readReceipt = !m_readReceipt; }
    bool encrypt() const { return m_encrypt; }
    void setEncrypt(bool on) { m_encrypt = on; }
    bool archive() const { return m_archive; }
    void setArchive(bool on) { m_archive = on; }
    int sendFormat() const { return m_sendFormat; }
    bool haveSetFormat() const { return m_haveSetFormat; }
    // Plain keeps a copy of the rich text and reduces the text to ASCII;
    // back to a rich format restores the copy unless the text was edited since.
    void setSendFormat(int index);
    // The format a reply to or restored draft of this message is written in.
    void takeSendFormatFrom(const MailMessage& message);
    // The next format whose class has an icon of its own, cyclically.
    int nextFormat() const;
    // Removes attachments and 8-bit characters. Asked from a command (fromCommand)
    // with attachments present, the user may cancel: false then.
    bool makeAscii(bool fromCommand);
    void addHelper(std::shared_ptr<SendHelper> helper);

    // ---- editing, title, size ----
    // Every text change: marks the window edited, schedules the size update.
    void nowEditing();
    void textDidChange();
    // The window was saved or delivered: no unsaved changes.
    void clearEditing();
    std::string title() const;
    // "%d bytes", "%dKB" or "%.1fMB" for a size in bytes.
    static std::string sizeText(long long bytes);
    // Characters of the text plus the attached files; nothing when counting
    // was stopped by a waiting user event.
    std::optional<long long> composedSize() const;
    // Recounts and shows the size ("~" before an older figure while stopped).
    void updateSize();
    const std::string& sizeDisplay() const { return m_sizeDisplay; }

    // ---- delivery ----
    // The Deliver command; archiveOverride forces the archive copy on or off
    // for this delivery only (Alternate / Control held).
    void deliverAction(std::optional<bool> archiveOverride = std::nullopt);
    // The whole delivery; true when the mailer was started (the window is hidden).
    bool deliver();
    // The mailer's raw wait status: success closes the window, failure brings it back.
    void didDeliver(int waitStatus);
    // The message built from the window, or nothing (a helper refused).
    std::unique_ptr<MailMessage> mailMessage();
    // An address line split, alias-expanded and joined with ", ".
    std::string expandAddressLine(std::string_view line) const;
    // To, Cc and Bcc split into addresses and alias-expanded.
    StringList recipients() const;
    // Into "DraftsMailbox"; false after the "Save" alert.
    bool saveDraft();

    // ---- the checks, each true after showing its alert ----
    bool invalidSubject();
    bool invalidTo(int field);
    bool invalidMailer();

    // Runs the helpers' hooks in order; false at the first refusal.
    bool helpersAcceptBuilt(MailMessage& message);
    bool helpersAcceptDelivery(MailMessage& message, const StringList& recipients);

  private:
    friend class Delivery;
    void setMode(int mode);
    void retitle();
    void scheduleSizeUpdate();
    void setSpecialDeliveryFromText();
    // The mailer was started: the window hides until its result.
    void handedOff();
    // Where the mailer's end is told; a window gone by then hears nothing.
    std::function<void(int)> deliveryReport();
    std::string archivePath();
    bool alertChecked(bool failed, const char* format, const char* argument = nullptr);
    void cancel(std::optional<RunLoop::Id>& timer);
    RunLoop& runLoop() { return m_services.mail.runLoop; }
    Defaults& defaults() const { return m_services.mail.defaults; }

    SendServices m_services;
    SendView* m_view = nullptr;
    std::array<std::string, kSendFieldCount> m_fields;
    TextView m_text;
    std::optional<TextView> m_richBackup;
    std::optional<std::string> m_tempDocument;
    std::vector<std::shared_ptr<SendHelper>> m_helpers;
    int m_mode = kModeComposing;
    bool m_editing = false;
    bool m_readReceipt = false;
    bool m_encrypt = false;
    bool m_archive = false;
    int m_sendFormat = kPlainFormat;
    bool m_haveSetFormat = false;
    bool m_sizeDisplayOn = false;
    std::string m_sizeDisplay;
    std::optional<RunLoop::Id> m_sizeTimer;
    std::optional<RunLoop::Id> m_specialTimer;
    std::optional<RunLoop::Id> m_closeTimer;
    // Outstanding mailer results hold a weak reference: a window gone by then hears nothing.
    std::shared_ptr<Send*> m_self;
};

}  // namespace quill
