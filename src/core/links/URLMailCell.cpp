#include "links/URLMailCell.h"

#include "process/RunCommand.h"
#include "settings/Defaults.h"

namespace quill {

RichText URLMailCell::cellDocument(const std::string& url, const CharFormat& chr,
                                   const ParagraphFormat& para) {
    Attachment cell;
    cell.directive = kDirective;
    cell.name = url;
    RichText document;
    document.replaceWithAttachment(0, 0, cell, chr, para);
    return document;
}

std::optional<std::string> URLMailCell::urlOf(const Attachment& cell) {
    if (cell.directive != kDirective) return std::nullopt;
    return cell.name;
}

std::string URLMailCell::browserCommand(const std::string& browser, const std::string& url) {
    // The browser setting is a command line of the user's; the URL comes from mail.
    return browser + " " + shellQuote(url) + " 2>&1 > /dev/null";
}

bool URLMailCell::loadURL(const std::string& url, BrowserRemote* remote,
                          ProcessLauncher& launcher) {
    if (url.empty()) return false;
    if (remote && remote->openURL(url)) return true;
    LaunchRequest request;
    request.argv = {"/bin/sh", "-c", browserCommand(Defaults::shared().webBrowserPath(), url)};
    LaunchedChild child = launcher.launch(request);
    if (!child.started()) return false;
    // The browser runs on its own; how it ends is of no interest.
    launcher.watchExit(child.pid, nullptr);
    return true;
}

}  // namespace quill
