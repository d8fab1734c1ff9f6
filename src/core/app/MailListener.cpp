#include "app/MailListener.h"

#include <array>

#include "app/SendDemo.h"

namespace quill {
namespace {

constexpr std::array<RemoteMethod, 13> kMethods{{
    {"openSend", ""},
    {"setTo:", "c"},
    {"setSubject:", "c"},
    {"setCc:", "c"},
    {"setBody:", "c"},
    {"deliver", ""},
    {"openSend:", "I"},
    {"setTo:inWindow:", "ci"},
    {"setSubject:inWindow:", "ci"},
    {"setCc:inWindow:", "ci"},
    {"setBody:inWindow:", "ci"},
    {"deliver:", "i"},
    {"incorporateNewMail", ""},
}};

int perform(SendDemo& demo, int index, RemoteArguments& a) {
    switch (index) {
        case 0:
            return demo.openSend();
        case 1:
            return demo.setTo(a.text);
        case 2:
            return demo.setSubject(a.text);
        case 3:
            return demo.setCc(a.text);
        case 4:
            return demo.setBody(a.text);
        case 5:
            return demo.deliver();
        case 6:
            return demo.openSend(a.number);
        case 7:
            return demo.setTo(a.text, a.number);
        case 8:
            return demo.setSubject(a.text, a.number);
        case 9:
            return demo.setCc(a.text, a.number);
        case 10:
            return demo.setBody(a.text, a.number);
        case 11:
            return demo.deliver(a.number);
        case 12:
            return demo.incorporateNewMail();
        default:
            return -1;
    }
}

}  // namespace

std::span<const RemoteMethod> MailListener::methods() { return kMethods; }

int MailListener::remoteMethodFor(std::string_view name) {
    for (size_t i = 0; i < kMethods.size(); ++i)
        if (kMethods[i].name == name) return static_cast<int>(i);
    return -1;
}

std::string MailListener::busMemberName(std::string_view name) {
    std::string member(name);
    for (char& c : member)
        if (c == ':') c = '_';
    return member;
}

int MailListener::performRemoteMethod(int index, RemoteArguments& params) {
    return m_delegate ? perform(*m_delegate, index, params) : -1;
}

}  // namespace quill
