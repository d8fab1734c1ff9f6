// quilltool service: calls the mail service of the running Quill and prints
// the integer answer (and, for openSend:, the handle passed back on a second
// line), so scripts can fill and deliver compose windows.
#include <QCoreApplication>
#include <cstdio>

#include "app/MailListener.h"
#include "app/MailSpeaker.h"
#include "commands.h"
#include "qtcore/DBusMailTransport.h"

namespace quill::tool {
namespace {

int serviceUsage() {
    std::fputs("usage: quilltool service METHOD [TEXT] [HANDLE]\nmethods:", stderr);
    for (const RemoteMethod& method : MailListener::methods())
        std::fprintf(stderr, " %.*s", static_cast<int>(method.name.size()), method.name.data());
    std::fputc('\n', stderr);
    return kUsageError;
}

}  // namespace

int runService(const Args& args) {
    if (args.empty()) return serviceUsage();
    int argc = 1;
    char name[] = "quilltool";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    DBusMailTransport transport;
    MailSpeaker speaker(transport);
    int answer = -1;
    RemoteArguments params;
    switch (speaker.call(args[0], Args(args.begin() + 1, args.end()), answer, params)) {
        case MailSpeaker::Outcome::UnknownMethod:
        case MailSpeaker::Outcome::BadArguments:
            return serviceUsage();
        case MailSpeaker::Outcome::NoQuill:
            std::fputs("quilltool: no running Quill answers on the session bus\n", stderr);
            return 3;
        case MailSpeaker::Outcome::Answered:
            break;
    }
    std::printf("%d\n", answer);
    const RemoteMethod& method =
        MailListener::methods()[static_cast<size_t>(MailListener::remoteMethodFor(args[0]))];
    if (method.passesBack() && answer == 0) std::printf("%d\n", params.number);
    return answer == -1 ? 1 : 0;
}

}  // namespace quill::tool
