// mailto links into compose fields: percent-decoding, UTF-8 to ISO 8859-1,
// repeated and unknown hfields, attachments as xdg-email passes them.
#include <gmock/gmock.h>

#include "message/MailtoURL.h"

namespace quill {
namespace {

using ::testing::ElementsAre;

struct MailtoCase {
    const char* url;
    const char* to;
    const char* cc;
    const char* subject;
    const char* body;
};

TEST(MailtoURLTest, FieldsFromLinks) {
    const MailtoCase cases[] = {
        {"mailto:ann@example.org", "ann@example.org", "", "", ""},
        {"MAILTO:ann@example.org?Subject=Hi%20there", "ann@example.org", "", "Hi there", ""},
        // Addresses before "?" and in "to" hfields add up; "+" is not a blank.
        {"mailto:a@x.org,b@x.org?to=c+d@x.org&cc=e@x.org&CC=f@x.org", "a@x.org,b@x.org, c+d@x.org",
         "e@x.org, f@x.org", "", ""},
        // UTF-8 becomes ISO 8859-1; what cannot becomes "?".
        {"mailto:?subject=Gr%C3%BC%C3%9Fe%20%E2%82%AC", "", "",
         "Gr\xfc\xdf"
         "e ?",
         ""},
        // Bytes that are not UTF-8 are taken as ISO 8859-1 already.
        {"mailto:?subject=caf%E9", "", "", "caf\xe9", ""},
        // Line breaks: LF in the body, a blank in a header field; two bodies join.
        {"mailto:?subject=a%0D%0Ab&body=one%0D%0Atwo&body=three", "", "", "a  b",
         "one\ntwo\nthree"},
        // A broken escape stays as it is; a fragment and unknown hfields are dropped.
        {"mailto:x@y?subject=100%&body=%4&foo=bar&=z&novalue#frag", "x@y", "", "100%", "%4"},
        {"mailto:?body=%26%3D%3F%23", "", "", "", "&=?#"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        MailtoURL link = MailtoURL::parse(c.url);
        EXPECT_EQ(link.to, c.to);
        EXPECT_EQ(link.cc, c.cc);
        EXPECT_EQ(link.subject, c.subject);
        EXPECT_EQ(link.body, c.body);
    }
}

TEST(MailtoURLTest, AttachmentsAndBcc) {
    MailtoURL link = MailtoURL::parse(
        "mailto:a@x?bcc=hidden@x&attach=%2Ftmp%2Fmy%20file.txt&attachment=file:///tmp/b%25c");
    EXPECT_EQ(link.bcc, "hidden@x");
    EXPECT_THAT(link.attachments, ElementsAre("/tmp/my file.txt", "/tmp/b%c"));
    EXPECT_TRUE(MailtoURL::isMailto("mAiLtO:x"));
    EXPECT_FALSE(MailtoURL::isMailto("mailbox.mbox"));
}

}  // namespace
}  // namespace quill
