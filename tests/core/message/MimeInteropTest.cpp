// What `quilltool encode` writes, read by an independent reader (Python's
// email package: no defects, the same decoded bodies) and by Quill's own
// reader (the same text and attachments), for a table of composed messages.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <map>

#include "message/MimeMessage.h"
#include "message/mimetoken.h"
#include "process/RunCommand.h"
#include "support/QuillTest.h"

namespace quill {
namespace {

// argv: message file, then NAME=FILE pairs (":plain" names the text part).
constexpr const char* kChecker = R"(
import sys, email, email.policy
msg = email.message_from_binary_file(open(sys.argv[1], 'rb'), policy=email.policy.default)
problems, leaves = [], []
for part in msg.walk():
    problems += ['%s: %r' % (part.get_content_type(), d) for d in part.defects]
    for key, value in part.items():
        problems += ['%s: %r' % (key, d) for d in getattr(value, 'defects', ())]
    if not part.is_multipart():
        leaves.append(part)
for pair in sys.argv[2:]:
    name, path = pair.split('=', 1)
    want = open(path, 'rb').read()
    if name == ':plain':
        found = [p for p in leaves if p.get_content_type() == 'text/plain' and not p.get_filename()]
    else:
        found = [p for p in leaves if p.get_filename() == name]
    if not found:
        problems.append('no part ' + name)
    elif found[0].get_payload(decode=True) != want:
        problems.append('%s: %r' % (name, found[0].get_payload(decode=True)[:80]))
print('\n'.join(problems) or 'OK')
)";

std::string run(const std::string& command) { return test::commandOutput(command); }

struct Case {
    const char* what;
    std::string text;
    std::string options;                          // after the files below are written
    std::map<std::string, std::string> expected;  // part name -> bytes (":plain" the text)
};

class MimeInteropTest : public test::QuillTest {
  protected:
    void SetUp() override {
        QuillTest::SetUp();
        MailMessage::setDefaultAttachmentDirectory(tmp());
        writeFile("picture.png", binary());
        writeFile("notes.txt", "Short notes.\n");
        writeFile("latin.txt",
                  "Gr\xFC\xDF"
                  "e\n");
        writeFile("folder/a.txt", "first\n");
        writeFile("folder/b.bin", binary().substr(0, 300));
        writeFile("rich.rtf",
                  "{\\rtf1\\ansi{\\fonttbl\\f0\\fswiss Helvetica;}\\f0\\fs24 "
                  "\\b Bold\\b0  and <plain> words\\\n}");
    }
    void TearDown() override {
        MailMessage::setDefaultAttachmentDirectory(std::nullopt);
        QuillTest::TearDown();
    }

    static std::string binary() {
        std::string bytes = "\x89PNG\r\n\x1A\n";
        for (int i = 0; i < 5000; ++i) bytes += static_cast<char>((i * 7919) >> 3);
        return bytes;
    }

    std::string encode(const Case& c) {
        std::string text = writeFile("text.txt", c.text);
        std::string out = tmp() + "/out.eml";
        run("cd " + shellQuote(tmp()) + " && " QUILL_BIN_DIR "/quilltool encode " + c.options +
            " " + text + " > " + out + " 2>/dev/null");
        return out;
    }

    std::string pythonVerdict(const std::string& message, const Case& c) {
        std::string script = writeFile("check.py", kChecker);
        std::string command = "python3 " + script + " " + message;
        int n = 0;
        for (const auto& [name, bytes] : c.expected) {
            std::string file = writeFile("expected-" + std::to_string(n++), bytes);
            command += " " + shellQuote(name + "=" + file);
        }
        return run(command + " 2>&1");
    }

    // Every leaf part Quill reads back, by file name (":plain" for the first
    // unnamed text/plain part).
    static void collect(MimeMessage& part, std::map<std::string, std::string>& out) {
        if (const MimeMessage::PartList* parts = part.parts()) {
            for (const auto& child : *parts) collect(*child, out);
            return;
        }
        const std::string* name = part.mimeDispositionParameterValueForKey("filename");
        std::string key = name ? *name : isKeyEqual(part.mimeSubtype(), "plain") ? ":plain" : "";
        if (!key.empty() && !out.count(key)) out[key] = part.stringBody();
    }
};

TEST_F(MimeInteropTest, IndependentAndOwnReadersAgree) {
    if (std::system("python3 -c 'import email.policy' >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "python3 with the email package is not installed";
    std::string longLine(200, 'w');
    for (size_t i = 7; i < longLine.size(); i += 9) longLine[i] = ' ';
    std::string plainRich = "Intro\nBold and <plain> words\n";
    const std::vector<Case> cases = {
        {"plain ASCII", "Hello, world.\n", "", {{":plain", "Hello, world.\n"}}},
        {"Latin-1",
         "Sch\xF6nen Gru\xDF.\n",
         "--subject 'Gr\xFC\xDF"
         "e aus K\xF6ln'",
         {{":plain", "Sch\xF6nen Gru\xDF.\n"}}},
        {"long lines", longLine + "\n" + longLine, "", {{":plain", longLine + "\n" + longLine}}},
        {"From and dot lines",
         "From me\n.\n..\nFrom you\n",
         "",
         {{":plain", "From me\n.\n..\nFrom you\n"}}},
        {"rich text", "Intro\n", "--rich rich.rtf", {{":plain", plainRich}}},
        {"rich text with attachments",
         "Intro\n",
         "--rich rich.rtf --attach picture.png --attach notes.txt --attach latin.txt",
         {{":plain", plainRich + "\n\n\n"},
          {"picture.png", binary()},
          {"notes.txt", "Short notes.\n"},
          {"latin.txt",
           "Gr\xFC\xDF"
           "e\n"}}},
        {"attached directory",
         "See the folder.\n",
         "--attach folder",
         {{"a.txt", "first\n"}, {"b.bin", binary().substr(0, 300)}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string message = encode(c);
        EXPECT_EQ(pythonVerdict(message, c), "OK\n");
        std::string bytes = test::slurp(message);
        ByteSource stream(bytes);
        std::unique_ptr<MimeMessage> read = MimeMessage::initFromStream(stream);
        ASSERT_TRUE(read);
        std::map<std::string, std::string> parts;
        collect(*read, parts);
        for (const auto& [name, want] : c.expected) EXPECT_EQ(parts[name], want) << name;
    }
}

}  // namespace
}  // namespace quill
