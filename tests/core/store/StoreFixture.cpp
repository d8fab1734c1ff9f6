#include "StoreFixture.h"

#include <sys/stat.h>
#include <utime.h>

namespace quill::test {

std::string StoreTest::makeBox(const std::string& mbox, const std::string& name) {
    std::string dir = boxPath(name);
    ::mkdir(dir.c_str(), 0755);
    spit(dir + "/mbox", mbox);
    return dir;
}

void StoreTest::touchMbox(long seconds, const std::string& name) {
    struct utimbuf times {
        seconds, seconds
    };
    ::utime((boxPath(name) + "/mbox").c_str(), &times);
}

int StoreTest::logCount(const std::string& text) const {
    int n = 0;
    for (const std::string& line : logLines) n += line.find(text) != std::string::npos;
    return n;
}

std::string smallMbox() {
    return "This line is not part of any message.\n"
           "From alice@example.com Thu Mar 13 10:02:07 1997\n"
           "From: Alice Example <alice@example.com>\n"
           "To: bob@example.com\n"
           "Subject: Lunch\n"
           "Date: Thu, 13 Mar 1997 10:02:07 -0800\n"
           "\n"
           "Shall we?\n"
           "\n"
           "From bob@example.com Fri Mar 14 09:00:00 1997\n"
           "From: Bob <bob@example.com>\n"
           "Subject: =?iso-8859-1?Q?Caf=E9?= plans\n"
           "Content-Type: multipart/mixed; boundary=\"x\"\n"
           "Content-Length: 49\n"
           "X-Priority: 2 (High)\n"
           "\n"
           "--x\n"
           "Content-Type: text/plain\n"
           "\n"
           "From here on\n"
           "--x--\n"
           "\n"
           "From tester Sat Mar 15 12:00:00 1997\n"
           "From: tester\n"
           "To: Bob <bob@example.com>\n"
           "Subject: Re: Lunch\n"
           "\n"
           "Yes.\n"
           "\n"
           "From carol@example.com Sun Mar 16 08:30:00 1997\n"
           "From: carol@example.com (Carol C)\n"
           "Subject: Notes\n"
           "Zell-Reference: Notes.attach, E, 1/1\n"
           "\n"
           "See attached.\n";
}

}  // namespace quill::test
