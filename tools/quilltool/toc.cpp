// quilltool toc: open a mailbox as Quill does and list its index, one line
// per message: index, status, type, encryption, date, size, sender, subject.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "base/FileHandles.h"
#include "commands.h"
#include "platform/ConsolePanels.h"
#include "store/MailBox.h"

namespace quill::tool {
namespace {

struct TocOptions {
    bool rebuild = false;
    bool count = false;
    bool yes = false;
    std::string mailbox;
};

bool parse(const Args& args, TocOptions& o) {
    for (const std::string& a : args) {
        if (a == "--rebuild") {
            o.rebuild = true;
        } else if (a == "--count") {
            o.count = true;
        } else if (a == "--yes") {
            o.yes = true;
        } else if (a.starts_with("--") || !o.mailbox.empty()) {
            return false;
        } else {
            o.mailbox = a;
        }
    }
    return !o.mailbox.empty();
}

// A plain mbox file is indexed through a temporary mailbox directory whose
// "mbox" links to it; the file itself is never written.
class LinkedMailbox {
  public:
    explicit LinkedMailbox(const std::string& file) {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/quilltool.XXXXXX";
        if (!::mkdtemp(pattern.data())) return;
        m_root = pattern;
        m_path = m_root + "/Linked.mbox";
        char* real = ::realpath(file.c_str(), nullptr);
        if (real && ::mkdir(m_path.c_str(), 0700) == 0) {
            (void)!::symlink(real, (m_path + "/mbox").c_str());
        }
        std::free(real);
    }
    ~LinkedMailbox() {
        if (m_root.empty()) return;
        for (const char* f : {"/mbox", "/table_of_contents", "/.lock"})
            ::unlink((m_path + f).c_str());
        ::rmdir(m_path.c_str());
        ::rmdir(m_root.c_str());
    }
    const std::string& path() const { return m_path; }

  private:
    std::string m_root, m_path;
};

void printEntries(MailBox& box) {
    std::string subject, from;
    for (std::uint32_t i = 0; i < box.toc().length(); ++i) {
        const TocEntry& e = box.tocInfoAt(static_cast<int>(i));
        box.loadSubject(static_cast<int>(i), subject, from);
        std::printf("%u\t%c\t%c\t%c\t%s\t%d\t%s\t%s\n", i, e.status.toChar(), e.type, e.encrypted,
                    packedDateText(e.date).c_str(), e.size, from.c_str(), subject.c_str());
    }
}

}  // namespace

std::string packedDateText(std::uint32_t packed) {
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u", packed >> 9, (packed >> 5) & 0xf,
                  packed & 0x1f);
    return text;
}

int runToc(const Args& args) {
    TocOptions o;
    if (!parse(args, o)) {
        std::fputs("usage: quilltool toc [--rebuild] [--count] [--yes] MAILBOX\n", stderr);
        return kUsageError;
    }
    installPanels(std::make_shared<ConsolePanels>(o.yes));
    struct stat st;
    std::unique_ptr<LinkedMailbox> linked;
    std::string path = mailboxPath(o.mailbox);
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        linked = std::make_unique<LinkedMailbox>(path);
        path = linked->path();
    }
    if (o.rebuild) ::unlink((path + "/table_of_contents").c_str());
    std::unique_ptr<MailBox> box = MailBox::newMailBox(path);
    if (!box) return 1;
    if (o.count) {
        std::printf("%u\n", box->toc().length());
    } else {
        printEntries(*box);
    }
    return 0;
}

}  // namespace quill::tool
