#include "app/MailSpeaker.h"

#include <charconv>

#include "app/MailListener.h"

namespace quill {
namespace {

bool parseInteger(const std::string& word, int& value) {
    const char* end = word.data() + word.size();
    auto [ptr, error] = std::from_chars(word.data(), end, value);
    return error == std::errc() && ptr == end && !word.empty();
}

}  // namespace

bool MailSpeaker::argumentsFrom(const RemoteMethod& method, const std::vector<std::string>& words,
                                RemoteArguments& params) {
    size_t next = 0;
    for (char type : method.params) {
        if (type == 'I') continue;
        if (next >= words.size()) return false;
        const std::string& word = words[next++];
        if (type == 'c')
            params.text = word;
        else if (!parseInteger(word, params.number))
            return false;
    }
    return next == words.size();
}

MailSpeaker::Outcome MailSpeaker::call(std::string_view name, const std::vector<std::string>& words,
                                       int& answer, RemoteArguments& params) {
    int index = MailListener::remoteMethodFor(name);
    if (index < 0) return Outcome::UnknownMethod;
    const RemoteMethod& method = MailListener::methods()[static_cast<size_t>(index)];
    if (!argumentsFrom(method, words, params)) return Outcome::BadArguments;
    std::optional<int> reply = m_transport.send(method, params);
    if (!reply) return Outcome::NoQuill;
    answer = *reply;
    return Outcome::Answered;
}

}  // namespace quill
