// quilltool send: composes a message from the command line and delivers it
// exactly as a compose window does: the same checks, alias expansion, format,
// archive copy and mailer. Alerts are printed on standard error (a question
// takes its first answer, so a large message is delivered anyway); the status
// is 0 once the mailer has accepted the message, 1 when anything refused it.
#include "compose/Send.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>

#include "addressbook/Alias.h"
#include "base/FileHandles.h"
#include "base/utf8.h"
#include "commands.h"
#include "compose/outgoingsettings.h"
#include "formats/ZellMessage.h"
#include "message/MimeMessage.h"
#include "platform/ConsolePanels.h"
#include "platform/Panels.h"
#include "platform/RunLoop.h"
#include "process/ChildWatch.h"
#include "process/PosixProcessLauncher.h"
#include "reader/MessageRenderer.h"
#include "reader/StatusAlerts.h"
#include "settings/Defaults.h"

namespace quill::tool {
namespace {

constexpr auto kMailerTimeout = std::chrono::minutes(10);

struct SendOptions {
    std::vector<std::string> to, cc, bcc, attachments;
    std::optional<std::string> subject;
    std::string format = "mime";
    std::string bodyFile = "-";
    std::string rich;
};

bool parseSendOptions(const Args& args, SendOptions& o) {
    bool haveBody = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        bool hasValue = i + 1 < args.size();
        if (arg == "--to" && hasValue)
            o.to.push_back(args[++i]);
        else if (arg == "--cc" && hasValue)
            o.cc.push_back(args[++i]);
        else if (arg == "--bcc" && hasValue)
            o.bcc.push_back(args[++i]);
        else if (arg == "--attach" && hasValue)
            o.attachments.push_back(args[++i]);
        else if (arg == "--subject" && hasValue)
            o.subject = args[++i];
        else if (arg == "--format" && hasValue)
            o.format = args[++i];
        else if (arg == "--rich" && hasValue)
            o.rich = args[++i];
        else if (!haveBody && (arg == "-" || !arg.starts_with("--")))
            o.bodyFile = arg, haveBody = true;
        else
            return false;
    }
    return o.subject && (o.format == "mime" || o.format == "native" || o.format == "plain");
}

// Arguments come in the terminal's UTF-8; a compose window holds ISO 8859-1.
std::string latin1(const std::string& argument) {
    return isValidUtf8(argument) ? utf8ToLatin1(argument) : argument;
}

std::string joined(const std::vector<std::string>& addresses) {
    std::string line;
    for (const std::string& address : addresses)
        line += (line.empty() ? "" : ", ") + latin1(address);
    return line;
}

int formatIndex(const std::string& format) {
    const MailClass& cls = format == "native" ? ZellMessage::mailClass() : MimeMessage::mailClass();
    const auto& classes = MailMessage::mailClasses();
    for (size_t i = 0; format != "plain" && i < classes.size(); ++i)
        if (classes[i] == &cls) return static_cast<int>(i);
    return kPlainFormat;
}

bool readBody(const std::string& file, std::string& bytes) {
    bool ok = file == "-" ? readAll(STDIN_FILENO, bytes) : readFile(file, bytes);
    if (!ok) std::perror(file.c_str());
    return ok;
}

// The window that is not there: it only learns how the delivery ended.
class ToolSendView : public SendView {
  public:
    void setTitle(const std::string&) override {}
    void orderFront() override { finished = failed = true; }
    void performClose() override { finished = true; }
    bool finished = false;
    bool failed = false;
};

// The text of a rich body follows the plain one, as a window's text would.
bool appendRich(TextView& text, const std::string& file) {
    std::string bytes;
    if (file.empty()) return true;
    if (readFile(file, bytes) && text.replaceSelWithRTF(bytes)) return true;
    std::fprintf(stderr, "quilltool: %s is not RTF\n", file.c_str());
    return false;
}

bool fill(Send& send, const SendOptions& o, const std::string& body) {
    send.setField(kFieldTo, joined(o.to));
    send.setField(kFieldCc, joined(o.cc));
    send.setField(kFieldBcc, joined(o.bcc));
    send.setField(kFieldSubject, latin1(*o.subject));
    // The format first, so a plain body keeps its 8-bit characters as given.
    send.setSendFormat(formatIndex(o.format));
    send.text().replaceSel(body);
    if (!appendRich(send.text(), o.rich)) return false;
    appendAttachments(send.text(), o.attachments);
    return true;
}

int deliver(Send& send, ToolSendView& view) {
    if (!send.deliver()) return 1;
    runLoop().runUntil([&] { return view.finished; }, kMailerTimeout);
    return view.finished && !view.failed ? 0 : 1;
}

}  // namespace

int runSend(const Args& args) {
    SendOptions o;
    std::string body;
    if (!parseSendOptions(args, o)) {
        std::fputs(
            "usage: quilltool send [--to A]... [--cc A]... [--bcc A]... --subject S "
            "[--attach FILE]... [--format mime|native|plain] [--rich FILE.rtf] [BODYFILE|-]\n",
            stderr);
        return kUsageError;
    }
    if (!readBody(o.bodyFile, body)) return 1;
    Defaults& defaults = Defaults::shared();
    installPanels(std::make_shared<ConsolePanels>(true));
    registerMessageClasses();
    applyOutgoingSettings(defaults);
    char work[] = "/tmp/quilltool-send-XXXXXX";
    if (!::mkdtemp(work)) return 1;
    MailMessage::setDefaultAttachmentDirectory(std::string(work));
    ChildWatch watch;
    watch.start();
    PosixProcessLauncher launcher(watch);
    Alias::shared().initialize();
    int status;
    {
        Send send({interactiveMailContext(defaults, panels(), runLoop()), launcher,
                   [] { return &Alias::shared().book(); }});
        ToolSendView view;
        send.setView(&view);
        status = fill(send, o, body) ? deliver(send, view) : 1;
    }
    watch.end();
    ::rmdir(work);
    return status;
}

}  // namespace quill::tool
