// The mail service: handles that shift when a window closes, the shared
// composer, calls from a command line through the method table, and what a
// start of Quill asks to compose.
#include <gmock/gmock.h>

#include "app/MailListener.h"
#include "app/MailSpeaker.h"
#include "app/SendDemo.h"
#include "app/StartArguments.h"

namespace quill {
namespace {

using ::testing::ElementsAre;
using ::testing::Pair;

struct FakeComposer : RemoteComposer {
    void setField(int field, const std::string& value) override { fields[field] = value; }
    void setBody(const std::string& text) override { body = text; }
    void addAttachment(const std::string& path) override { attachments.push_back(path); }
    void performDeliver() override { ++deliveries; }
    void orderFront() override { ++fronted; }
    std::map<int, std::string> fields;
    std::string body;
    std::vector<std::string> attachments;
    int deliveries = 0, fronted = 0;
};

struct FakeFactory : ComposerFactory {
    std::shared_ptr<RemoteComposer> newSendWindow() override {
        opened.push_back(std::make_shared<FakeComposer>());
        return opened.back();
    }
    std::vector<std::shared_ptr<FakeComposer>> opened;
};

// Carries calls straight to a listener, as the bus would.
struct LoopTransport : MailTransport {
    std::optional<int> send(const RemoteMethod& method, RemoteArguments& params) override {
        if (!listener) return std::nullopt;
        return listener->performRemoteMethod(MailListener::remoteMethodFor(method.name), params);
    }
    MailListener* listener = nullptr;
};

class MailServiceTest : public ::testing::Test {
  protected:
    MailServiceTest() {
        demo.setFactory(&factory);
        transport.listener = &listener;
    }
    // The answer of a call from a command line, and what it passed back.
    std::pair<int, int> call(std::string_view method, std::vector<std::string> words = {}) {
        int answer = 99;
        RemoteArguments params;
        EXPECT_EQ(speaker.call(method, words, answer, params), MailSpeaker::Outcome::Answered);
        return {answer, params.number};
    }

    FakeFactory factory;
    SendDemo demo;
    MailListener listener{&demo};
    LoopTransport transport;
    MailSpeaker speaker{transport};
};

TEST_F(MailServiceTest, HandlesShiftDownWhenAWindowCloses) {
    EXPECT_EQ(call("openSend:"), std::make_pair(0, 0));
    EXPECT_EQ(call("openSend:"), std::make_pair(0, 1));
    EXPECT_EQ(call("setTo:inWindow:", {"b@x", "1"}).first, 0);
    demo.composerWillClose(factory.opened[0].get());
    EXPECT_EQ(call("setSubject:inWindow:", {"Hi", "0"}).first, 0);
    EXPECT_EQ(call("setCc:inWindow:", {"c@x", "1"}).first, -1);
    EXPECT_EQ(call("deliver:", {"-1"}).first, -1);
    EXPECT_EQ(call("setBody:inWindow:", {"text", "0"}).first, 0);
    EXPECT_EQ(call("deliver:", {"0"}).first, 0);
    const FakeComposer& second = *factory.opened[1];
    EXPECT_THAT(second.fields, ElementsAre(Pair(0, "b@x"), Pair(1, "Hi")));
    EXPECT_EQ(second.body, "text");
    EXPECT_EQ(second.deliveries, 1);
    EXPECT_EQ(factory.opened[0]->fields.size(), 0u);
}

TEST_F(MailServiceTest, SharedComposerIsMadeOnFirstUseAndForgotten) {
    EXPECT_EQ(call("setTo:", {"a@x"}).first, 0);
    EXPECT_EQ(call("setCc:", {"c@x"}).first, 0);
    ASSERT_EQ(factory.opened.size(), 1u);
    EXPECT_EQ(call("openSend").first, 0);
    EXPECT_EQ(call("setSubject:", {"S"}).first, 0);
    EXPECT_EQ(call("setBody:", {"B"}).first, 0);
    EXPECT_EQ(call("deliver").first, 0);
    ASSERT_EQ(factory.opened.size(), 2u);
    EXPECT_EQ(factory.opened[1]->fields.at(1), "S");
    EXPECT_EQ(factory.opened[1]->deliveries, 1);
    // Closing the shared composer makes the next call start a new one.
    demo.composerWillClose(factory.opened[1].get());
    EXPECT_EQ(call("setTo:", {"z@x"}).first, 0);
    EXPECT_EQ(factory.opened.size(), 3u);
    EXPECT_TRUE(demo.sendList().empty());
}

TEST_F(MailServiceTest, NoDelegateOrWindowSystemAnswersMinusOne) {
    EXPECT_EQ(call("incorporateNewMail").first, -1);
    int incorporated = 0;
    demo.setIncorporate([&] { ++incorporated; });
    EXPECT_EQ(call("incorporateNewMail").first, 0);
    EXPECT_EQ(incorporated, 1);
    demo.setFactory(nullptr);
    for (const char* method : {"openSend", "deliver", "openSend:"})
        EXPECT_EQ(call(method).first, -1) << method;
    listener.setDelegate(nullptr);
    EXPECT_EQ(call("incorporateNewMail").first, -1);
}

TEST_F(MailServiceTest, CommandLineWordsMustFitTheParameterTypes) {
    int answer = 0;
    RemoteArguments params;
    using Outcome = MailSpeaker::Outcome;
    const std::pair<std::vector<std::string>, Outcome> cases[] = {
        {{"openSend:", "3"}, Outcome::BadArguments},
        {{"setTo:inWindow:", "a@x"}, Outcome::BadArguments},
        {{"setTo:inWindow:", "a@x", "1x"}, Outcome::BadArguments},
        {{"deliver:", ""}, Outcome::BadArguments},
        {{"setTo"}, Outcome::UnknownMethod},
        {{"setTo:", ""}, Outcome::Answered},
    };
    for (const auto& [words, outcome] : cases)
        EXPECT_EQ(speaker.call(words[0], {words.begin() + 1, words.end()}, answer, params), outcome)
            << words[0];
    transport.listener = nullptr;
    EXPECT_EQ(speaker.call("openSend", {}, answer, params), Outcome::NoQuill);
    EXPECT_EQ(MailListener::busMemberName("setTo:inWindow:"), "setTo_inWindow_");
}

TEST_F(MailServiceTest, StartArgumentsOpenFilledComposeWindows) {
    StartArguments start =
        StartArguments::parse({"--measure-startup", "Lists/x.mbox", "--attach", "notes.txt",
                               "--compose", "mailto:a@x?subject=Hi&attach=/tmp/p.png", "--attach"},
                              "/home/u");
    EXPECT_THAT(start.files, ElementsAre("/home/u/Lists/x.mbox"));
    // What a later start hands over reads back the same in the running Quill.
    StartArguments handed = StartArguments::parse(start.words(), "/elsewhere");
    EXPECT_EQ(handed.words(), start.words());
    for (const MailtoURL& link : handed.composeRequests()) demo.compose(link);
    ASSERT_EQ(factory.opened.size(), 1u);
    EXPECT_EQ(factory.opened[0]->fields.at(RemoteComposer::Subject), "Hi");
    EXPECT_THAT(factory.opened[0]->attachments, ElementsAre("/tmp/p.png", "/home/u/notes.txt"));
    EXPECT_EQ(StartArguments::parse({"--compose"}, "/").composeRequests().size(), 1u);
    EXPECT_TRUE(StartArguments::parse({"box.mbox"}, "/").composeRequests().empty());
}

}  // namespace
}  // namespace quill
