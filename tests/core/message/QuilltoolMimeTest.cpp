// quilltool mime and show, run as programs: the JSON of a known message byte
// for byte, valid JSON for every message of the corpus, and a mailbox message
// shown as the mailbox window renders it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/utf8.h"
#include "message/mimewrite.h"
#include "support/QuillTest.h"

namespace quill {
namespace {

std::string run(const std::string& command) { return test::commandOutput(command); }

std::string quilltool(const std::string& args) {
    return run(std::string(QUILL_BIN_DIR "/quilltool ") + args + " 2>/dev/null");
}

class QuilltoolMimeTest : public test::QuillTest {
  protected:
    // A mailbox holding the corpus file as its first message.
    std::string mailboxOf(const std::string& bytes, int n) {
        std::string box = tmp() + "/c" + std::to_string(n) + ".mbox";
        ::mkdir(box.c_str(), 0700);
        std::string_view text = bytes;
        if (text.starts_with("\xef\xbb\xbf")) text.remove_prefix(3);
        std::string mbox =
            text.starts_with("From ") ? std::string() : "From corpus Sat Jan  1 00:00:00 2000\n";
        writeFile("c" + std::to_string(n) + ".mbox/mbox", mbox + std::string(text) + "\n");
        return box;
    }
};

TEST_F(QuilltoolMimeTest, PrintsTheTreeOfAKnownMessage) {
    std::string file = writeFile("m.eml",
                                 "From: J\xf6rg <j@x>\nSubject: =?iso-8859-1?Q?Gr=FC=DFe?=\n"
                                 "MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b\n\n"
                                 "--b\nContent-Type: text/plain; charset=us-ascii\n\nabc\n"
                                 "--b\nContent-Type: application/octet-stream\n"
                                 "Content-Disposition: attachment; filename=\"x\\\"y\"\n"
                                 "Content-Transfer-Encoding: base64\n\nAAE=\n--b--\n");
    EXPECT_EQ(quilltool("mime " + file),
              "{\"class\": \"MimeMessage\", \"subject\": \"Gr\xc3\xbc\xc3\x9f"
              "e\", "
              "\"from\": \"J\xc3\xb6rg <j@x>\", \"root\": {\"type\": \"multipart\", "
              "\"subtype\": \"mixed\", \"params\": {\"boundary\": \"b\"}, \"encoding\": null, "
              "\"disposition\": null, \"disposition_params\": {}, \"body_length\": null, "
              "\"body_sha256\": null, \"parts\": [{\"type\": \"text\", \"subtype\": \"plain\", "
              "\"params\": {\"charset\": \"us-ascii\"}, \"encoding\": null, \"disposition\": null, "
              "\"disposition_params\": {}, \"body_length\": 3, \"body_sha256\": "
              "\"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad\"}, "
              "{\"type\": \"application\", \"subtype\": \"octet-stream\", \"params\": {}, "
              "\"encoding\": \"base64\", \"disposition\": \"attachment\", \"disposition_params\": "
              "{\"filename\": \"x\\\"y\"}, \"body_length\": 2, \"body_sha256\": "
              "\"b413f47d13ee2fe6c845b2ee141af81de858df4ec549a58b7970bb96645bc8d2\"}]}}\n");
}

// The digest of a body decoded a piece at a time is that of the same bytes
// sent plain in one piece, for bodies of every length around a digest block.
TEST_F(QuilltoolMimeTest, DigestsOfDecodedPiecesMatchThePlainBody) {
    std::string large;
    for (int i = 0; large.size() < (700 << 10); ++i) large += "line " + std::to_string(i) + "\n";
    for (std::string data : {std::string("abc"), std::string(63, 'x'), std::string(64, 'y'),
                             std::string(65, 'z'), large}) {
        ByteSink base64;
        ASSERT_TRUE(writeBase64(data, base64, 76));
        auto digest = [&](const std::string& name, const std::string& encoding,
                          std::string_view body) {
            std::string json = quilltool(
                "mime " + writeFile(name, "Content-Type: text/plain\nContent-Transfer-Encoding: " +
                                              encoding + "\n\n" + std::string(body)));
            return json.substr(json.find("\"body_length\""));
        };
        EXPECT_EQ(digest("plain.eml", "8bit", data), digest("b64.eml", "base64", base64.bytes()))
            << data.size() << " bytes";
    }
}

// Every corpus message gives one line of JSON that an independent reader
// (Python's json) takes, and shows as valid UTF-8.
TEST_F(QuilltoolMimeTest, EveryCorpusMessageGivesJsonAndShowsAsUtf8) {
    std::optional<std::string> manifest = test::corpusFile("MANIFEST.md");
    if (!manifest) GTEST_SKIP() << "no corpus";
    if (std::system("python3 -c 'import json' >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "python3 is not installed";
    std::filesystem::path root = std::filesystem::path(*manifest).parent_path();
    std::string lines;
    int n = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file() || entry.path().filename() == "MANIFEST.md") continue;
        std::string file = entry.path().string();
        lines += quilltool("mime '" + file + "'");
        std::string shown = quilltool("show " + mailboxOf(test::slurp(file), ++n) + " 0");
        EXPECT_FALSE(shown.empty()) << file;
        EXPECT_TRUE(isValidUtf8(shown)) << file;
        if (entry.path().filename() != "japanese-iso2022jp.eml") continue;
        EXPECT_NE(shown.find("Subject: \u65e5\u672c\u8a9e\u30e1\u30fc\u30eb\u30c6\u30b9\u30c8 "
                             "(testing Japanese emails)\n"),
                  std::string::npos)
            << shown;
    }
    std::string json = writeFile("all.json", lines);
    EXPECT_EQ(
        run("python3 -c 'import json, sys\nfor n, line in enumerate(open(sys.argv[1], \"rb\")):\n"
            "    json.loads(line)\nprint(n + 1)' " +
            json + " 2>&1"),
        std::to_string(n) + "\n");
}

TEST_F(QuilltoolMimeTest, ShowRendersAttachmentsAsLines) {
    ::mkdir((tmp() + "/t.mbox").c_str(), 0700);
    writeFile("t.mbox/mbox",
              "From a@b Sat Jan  1 00:00:00 2000\nFrom: a@b\nSubject: hi\nMIME-Version: 1.0\n"
              "Content-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: text/plain\n\n"
              "hello\n--b\nContent-Type: application/pdf; name=doc.pdf\n"
              "Content-Transfer-Encoding: base64\n\nJVBERg==\n--b--\n\n");
    std::string mailbox = tmp() + "/t.mbox";
    EXPECT_EQ(quilltool("show " + mailbox + " 0"),
              "From: a@b\nSubject: hi\n\nhello\n\n[attachment: doc.pdf]\n");
    std::string all = quilltool("show " + mailbox + " 0 --all-headers");
    EXPECT_NE(all.find("Content-Type: multipart/mixed; boundary=b\n"), std::string::npos) << all;
    EXPECT_EQ(quilltool("show " + mailbox + " 7"), "");
}

TEST_F(QuilltoolMimeTest, Latin1OptionPrintsTheIso8859Form) {
    std::string box = mailboxOf(
        "From: =?utf-8?q?J=C3=B6rg?= <j@x>\nSubject: =?utf-8?b?w6k=?=\n"
        "MIME-Version: 1.0\nContent-Type: text/plain; charset=utf-8\n\n"
        "K\xc3\xb6ln\n",
        0);
    EXPECT_EQ(quilltool("show " + box + " 0"),
              "From: J\u00f6rg <j@x>\nSubject: \u00e9\n\nK\u00f6ln\n");
    EXPECT_EQ(quilltool("show " + box + " 0 --latin1"),
              "From: J\xc3\xb6rg <j@x>\nSubject: w6k=\n\nK\xc3\xb6ln\n");
}

}  // namespace
}  // namespace quill
