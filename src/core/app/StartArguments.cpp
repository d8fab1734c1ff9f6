#include "app/StartArguments.h"

namespace quill {
namespace {

std::string absolute(const std::string& path, const std::string& cwd) {
    if (path.empty() || path[0] == '/' || cwd.empty()) return path;
    return cwd + "/" + path;
}

}  // namespace

StartArguments StartArguments::parse(const std::vector<std::string>& args, const std::string& cwd) {
    StartArguments result;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--version")
            result.version = true;
        else if (arg == "--compose")
            result.compose = true;
        else if (arg == "--attach" && i + 1 < args.size())
            result.attachments.push_back(absolute(args[++i], cwd));
        else if (MailtoURL::isMailto(arg))
            result.mailtoLinks.push_back(arg);
        else if (!arg.starts_with("-"))
            result.files.push_back(absolute(arg, cwd));
    }
    return result;
}

std::vector<std::string> StartArguments::words() const {
    std::vector<std::string> out;
    if (compose) out.push_back("--compose");
    for (const std::string& path : attachments) {
        out.push_back("--attach");
        out.push_back(path);
    }
    out.insert(out.end(), mailtoLinks.begin(), mailtoLinks.end());
    out.insert(out.end(), files.begin(), files.end());
    return out;
}

std::vector<MailtoURL> StartArguments::composeRequests() const {
    std::vector<MailtoURL> requests;
    for (const std::string& link : mailtoLinks) requests.push_back(MailtoURL::parse(link));
    if (requests.empty() && wantsCompose()) requests.emplace_back();
    if (!requests.empty())
        requests.front().attachments.insert(requests.front().attachments.end(), attachments.begin(),
                                            attachments.end());
    return requests;
}

}  // namespace quill
