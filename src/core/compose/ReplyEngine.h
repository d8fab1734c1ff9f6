// ReplyEngine: fills a compose window from the message its mailbox window
// shows: the reply fields for Reply and Reply All (switching a window between
// the two swaps the copies in and out), the forwarded message, the quoted and
// re-wrapped body of Wrap And Reply, the copy Include inserts, and every
// field and the body of a restored draft. The alerts are the commands' own.
#pragma once

#include <string>

#include "compose/ReplySource.h"
#include "compose/ReplyTarget.h"

namespace quill {

class Defaults;
class MailMessage;

class ReplyEngine {
  public:
    // source may be null: a window opened from no mailbox window.
    ReplyEngine(ReplyTarget& target, const ReplySource* source, Defaults& defaults);

    void reply() { replyHelper(false); }
    void replyAll() { replyHelper(true); }
    void replyHelper(bool toAll);
    // The derived reply fields; the copies leave out what the To field holds.
    std::string replyTo() const;
    std::string replyCc() const;
    std::string replySubject() const;

    void forward();
    // Wrap And Reply's quoting: the body re-wrapped and quoted at the start.
    void forwardAndWrap();
    void includeMessage();
    void replaceSelWithWrappedMessageFrom();
    void replaceSelWithMessageFrom();
    void restoreDraftFromMessage(MailMessage& message);
    // The "ComposeTemplate" file, when readable, at the start of the text.
    void addComposeTemplate();
    bool incorporateFile(const std::string& path);

  private:
    bool showsMessage() const;
    void setReplyCopies(bool toAll);
    void setReferences();
    void takeSubjectIfEmpty();
    std::string shownTextForTarget() const;
    void includeRich();

    ReplyTarget& m_target;
    const ReplySource* m_source;
    Defaults& m_defaults;
};

}  // namespace quill
