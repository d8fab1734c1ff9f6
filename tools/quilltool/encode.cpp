// quilltool encode: the message Quill would deliver for a composed text, on
// standard output, so users and tests can see the wire form. The text comes
// from TEXTFILE (ISO 8859-1), followed by the document of --rich FILE.rtf and
// one attachment icon per --attach FILE, in MIME, the native format or plain
// text; the settings choose the line
// length, the plain alternative and 8-bit text as they do for delivery.
#include <unistd.h>

#include <cstdio>
#include <memory>

#include "base/FileHandles.h"
#include "commands.h"
#include "compose/outgoingsettings.h"
#include "formats/ZellMessage.h"
#include "message/MimeBodyBuilder.h"
#include "message/MimeEncoder.h"
#include "message/MimeMessage.h"
#include "platform/resources.h"
#include "richtext/TextView.h"
#include "settings/Defaults.h"

namespace quill::tool {
namespace {

struct EncodeOptions {
    std::string format = "mime";
    std::string rich;
    std::vector<std::string> attachments;
    std::string subject;
    std::string textFile;
};

bool parseEncodeOptions(const Args& args, EncodeOptions& options) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        bool hasValue = i + 1 < args.size();
        if (arg == "--format" && hasValue)
            options.format = args[++i];
        else if (arg == "--rich" && hasValue)
            options.rich = args[++i];
        else if (arg == "--attach" && hasValue)
            options.attachments.push_back(args[++i]);
        else if (arg == "--subject" && hasValue)
            options.subject = args[++i];
        else if (options.textFile.empty() && !arg.starts_with("--"))
            options.textFile = arg;
        else
            return false;
    }
    return !options.textFile.empty() &&
           (options.format == "mime" || options.format == "plain" || options.format == "native");
}

bool composeText(const EncodeOptions& options, TextView& view) {
    std::string bytes;
    if (!readFile(options.textFile, bytes)) {
        std::perror(options.textFile.c_str());
        return false;
    }
    view.replaceSel(bytes);
    if (!options.rich.empty()) {
        if (!readFile(options.rich, bytes) || !view.replaceSelWithRTF(bytes)) {
            std::fprintf(stderr, "quilltool: %s is not RTF\n", options.rich.c_str());
            return false;
        }
    }
    appendAttachments(view, options.attachments);
    return true;
}

std::unique_ptr<MailMessage> buildMessage(const EncodeOptions& options, const TextView& view) {
    std::unique_ptr<MailMessage> message;
    if (options.format == "plain") {
        message = std::make_unique<MailMessage>();
        message->setBody(view.plainText());
    } else if (options.format == "native") {
        auto native = std::make_unique<ZellMessage>();
        native->setRichText(view.richText(), view.hasFormatting() || view.hasGraphics());
        message = std::move(native);
    } else {
        auto mime = std::make_unique<MimeMessage>();
        MimeBodyBuilder::setBodyFromText(*mime, view);
        message = std::move(mime);
    }
    if (!options.subject.empty()) message->setHeaderKey("Subject", options.subject);
    message->addReceivedByZellIfNeeded();
    return message;
}

}  // namespace

int runEncode(const Args& args) {
    EncodeOptions options;
    if (!parseEncodeOptions(args, options)) {
        std::fputs(
            "usage: quilltool encode [--format mime|native|plain] [--rich FILE.rtf] "
            "[--attach FILE]... [--subject TEXT] TEXTFILE\n",
            stderr);
        return kUsageError;
    }
    applyOutgoingSettings(Defaults::shared());
    TextView view;
    if (!composeText(options, view)) return 1;
    // A native message packs its document in a directory of its own, gone afterwards.
    char work[] = "/tmp/quilltool-encode-XXXXXX";
    if (!::mkdtemp(work)) return 1;
    MailMessage::setDefaultAttachmentDirectory(std::string(work));
    bool ok;
    {
        std::unique_ptr<MailMessage> message = buildMessage(options, view);
        ByteSink out(STDOUT_FILENO);
        ok = options.format == "plain"
                 ? message->writeToStreamWrapAtColumn(out, MailMessage::lineLength())
                 : message->writeToStream(out);
        ok = out.flush() && ok;
    }
    ::rmdir(work);
    return ok ? 0 : 1;
}

}  // namespace quill::tool
