// What Quill's command line asks for: mailbox files to open, a compose window
// ("--compose", "--attach FILE", "mailto:" links, as xdg-email passes them)
// and "--version". A second Quill hands its arguments to the running one in
// the form words() gives, every path made absolute.
#pragma once

#include <string>
#include <vector>

#include "message/MailtoURL.h"

namespace quill {

class StartArguments {
  public:
    // Paths are taken from cwd; options Quill does not know are passed over.
    static StartArguments parse(const std::vector<std::string>& args, const std::string& cwd);

    bool version = false;
    bool compose = false;
    std::vector<std::string> attachments;
    std::vector<std::string> mailtoLinks;
    std::vector<std::string> files;

    bool wantsCompose() const { return compose || !attachments.empty() || !mailtoLinks.empty(); }
    std::vector<std::string> words() const;
    // One compose window per link (one empty window for "--compose" alone);
    // the files of "--attach" go into the first.
    std::vector<MailtoURL> composeRequests() const;
};

}  // namespace quill
