#include "support/MailboxGenerator.h"

#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "base/FileHandles.h"

namespace quill::bench {
namespace {

constexpr const char* kWords[] = {
    "the",     "mailbox",  "index",  "message", "attached", "please",  "review",  "patch",
    "meeting", "tomorrow", "thanks", "build",   "release",  "server",  "kernel",  "driver",
    "report",  "draft",    "budget", "quarter", "schedule", "problem", "fixed",   "version",
    "regards", "question", "answer", "update",  "notes",    "minutes", "project", "from",
    "network", "printer",  "backup", "restore", "window",   "folder",  "reply",   "forward"};
constexpr const char* kNames[] = {"Alice Martin", "Bob Chen",   "Carol Diaz", "Dave Okafor",
                                  "Eve Novak",    "Frank Berg", "Grace Hall", "Heidi Lund",
                                  "Ivan Petrov",  "Judy Kim"};
constexpr const char* kDomains[] = {"example.com", "example.org", "mail.example.net",
                                    "lists.example.edu"};
constexpr const char* kDays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

class Generator {
  public:
    explicit Generator(std::uint64_t seed) : m_rng(seed) { makeBase64Pool(); }

    void message(std::string& out, int index) {
        std::string from = address();
        std::string date = dateText();
        out += "From " + from.substr(from.find('<') + 1, from.find('>') - from.find('<') - 1) +
               " " + envelopeDate() + "\n";
        headers(out, from, date, index);
        int kind = pick(1000);
        // Short plain text only: a million messages then stay within what
        // the index's 32-bit offsets can address.
        bool shortText = textOnly();
        if (shortText) kind = 1000;
        std::string body;
        std::string type;
        if (kind < 10) {
            type = attachment(body, 100000 + pick(900000));  // the long tail
        } else if (kind < 130) {
            type = attachment(body, 2000 + pick(40000));
        } else if (kind < 380) {
            type = alternative(body);
        } else {
            type = "text/plain; charset=us-ascii";
            paragraphs(body, 1 + pick(shortText ? 2 : 8));
        }
        out += "MIME-Version: 1.0\nContent-Type: " + type + "\n";
        if (pick(10) == 0) out += "Content-Length: " + std::to_string(body.size()) + "\n";
        out += "\n";
        out += body;
        out += "\n";
    }

  private:
    int pick(int n) { return static_cast<int>(m_rng() % static_cast<std::uint64_t>(n)); }
    template <std::size_t N>
    const char* any(const char* const (&list)[N]) {
        return list[pick(static_cast<int>(N))];
    }

    std::string address() {
        std::string name = any(kNames);
        std::string user = name.substr(0, name.find(' '));
        for (char& c : user) c = static_cast<char>(std::tolower(c));
        return name + " <" + user + "@" + any(kDomains) + ">";
    }
    std::string dateText() {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%s, %d %s %d %02d:%02d:%02d -0800", any(kDays),
                      1 + pick(28), any(kMonths), 1995 + pick(30), pick(24), pick(60), pick(60));
        return buf;
    }
    std::string envelopeDate() {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%s %s %2d %02d:%02d:%02d %d", any(kDays), any(kMonths),
                      1 + pick(28), pick(24), pick(60), pick(60), 1995 + pick(30));
        return buf;
    }
    std::string words(int n) {
        std::string s;
        for (int i = 0; i < n; ++i) s += std::string(i ? " " : "") + any(kWords);
        return s;
    }

    void headers(std::string& out, const std::string& from, const std::string& date, int index) {
        for (int i = 0, n = 2 + pick(5); i < n; ++i) {
            out += "Received: from relay" + std::to_string(pick(90)) + "." + any(kDomains) +
                   " (relay.example.net [192.0.2." + std::to_string(pick(250)) + "])\n\tby mx." +
                   any(kDomains) + " with ESMTP id " + std::to_string(m_rng()) + ";\n\t" + date +
                   "\n";
        }
        out += "Message-ID: <" + std::to_string(m_rng()) + "." + std::to_string(index) + "@" +
               any(kDomains) + ">\n";
        out += "Date: " + date + "\nFrom: " + from + "\nTo: " + address();
        for (int i = 0, n = pick(4); i < n; ++i) out += ",\n\t" + address();
        out += "\n";
        if (pick(3) == 0) out += "Cc: " + address() + "\n";
        if (pick(8) == 0) {
            out += "Subject: =?iso-8859-1?Q?Re:_" + words(2) + "_caf=E9?= " + words(3) + "\n";
        } else {
            out +=
                "Subject: " + std::string(pick(3) == 0 ? "Re: " : "") + words(3 + pick(6)) + "\n";
        }
        if (pick(4) == 0) out += "X-Priority: " + std::to_string(1 + pick(5)) + "\n";
        if (pick(2) == 0) out += "X-Mailer: Example Mail " + std::to_string(pick(9)) + ".0\n";
        if (pick(3) == 0) out += "In-Reply-To: <" + std::to_string(m_rng()) + "@example.com>\n";
    }

    void paragraphs(std::string& body, int n) {
        for (int p = 0; p < n; ++p) {
            for (int l = 0, lines = 2 + pick(8); l < lines; ++l) {
                // Body lines that look like envelope lines are escaped by delivery.
                if (pick(100) == 0) body += ">From ";
                body += words(6 + pick(7)) + "\n";
            }
            body += "\n";
        }
    }

    std::string alternative(std::string& body) {
        std::string b = "alt" + std::to_string(m_rng());
        body += "--" + b + "\nContent-Type: text/plain; charset=us-ascii\n\n";
        paragraphs(body, 1 + pick(5));
        body += "--" + b + "\nContent-Type: text/html; charset=us-ascii\n\n<html><body>\n";
        paragraphs(body, 1 + pick(5));
        body += "</body></html>\n--" + b + "--\n";
        return "multipart/alternative; boundary=\"" + b + "\"";
    }

    std::string attachment(std::string& body, int bytes) {
        std::string b = "mix" + std::to_string(m_rng());
        body += "--" + b + "\nContent-Type: text/plain; charset=us-ascii\n\n";
        paragraphs(body, 1 + pick(3));
        body += "--" + b + "\nContent-Type: application/octet-stream; name=\"data" +
                std::to_string(pick(1000)) +
                ".bin\"\nContent-Transfer-Encoding: base64\nContent-Disposition: attachment\n\n";
        std::size_t lines = static_cast<std::size_t>(bytes) / 57 + 1;
        std::size_t start = static_cast<std::size_t>(pick(static_cast<int>(kPoolLines - 1)));
        for (std::size_t l = 0; l < lines; ++l) {
            body.append(m_pool, ((start + l) % kPoolLines) * 77, 77);
        }
        body += "--" + b + "--\n";
        return "multipart/mixed; boundary=\"" + b + "\"";
    }

    static constexpr std::size_t kPoolLines = 65536;
    void makeBase64Pool() {
        static const char* alphabet =
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        m_pool.reserve(kPoolLines * 77);
        for (std::size_t l = 0; l < kPoolLines; ++l) {
            for (int i = 0; i < 76; ++i) m_pool += alphabet[m_rng() & 63];
            m_pool += '\n';
        }
    }

    std::mt19937_64 m_rng;
    std::string m_pool;
};

void removeScratch();

}  // namespace

bool textOnly() {
    const char* v = std::getenv("QUILL_BENCH_TEXT_ONLY");
    return v && *v && std::string_view(v) != "0";
}

std::uint64_t writeMailbox(const std::string& path, int count, std::uint64_t seed) {
    UniqueFd fd = openFile(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (!fd) throw std::runtime_error("cannot create " + path);
    Generator gen(seed);
    std::string chunk;
    std::uint64_t total = 0;
    for (int i = 0; i < count; ++i) {
        gen.message(chunk, i);
        if (chunk.size() > (8u << 20) || i + 1 == count) {
            if (!writeAll(fd.get(), chunk)) throw std::runtime_error("cannot write " + path);
            total += chunk.size();
            chunk.clear();
        }
    }
    return total;
}

const std::string& scratchDir() {
    // Never destroyed: the exit handler that removes the directory still needs it.
    static const std::string& dir = *new std::string([] {
        if (const char* keep = std::getenv("QUILL_BENCH_DIR"); keep && *keep) {
            ::mkdir(keep, 0755);
            return std::string(keep);
        }
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/quill-bench.XXXXXX";
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        std::atexit(removeScratch);
        return pattern;
    }());
    return dir;
}

std::string benchMailbox(int count) {
    std::string dir =
        scratchDir() + "/Bench" + std::to_string(count) + (textOnly() ? "text" : "") + ".mbox";
    std::string mbox = dir + "/mbox";
    if (::access(mbox.c_str(), F_OK) != 0) {
        ::mkdir(dir.c_str(), 0755);
        writeMailbox(mbox + ".part", count);
        ::rename((mbox + ".part").c_str(), mbox.c_str());
    }
    return dir;
}

namespace {

void removeScratch() {
    ::nftw(
        scratchDir().c_str(),
        [](const char* p, const struct stat*, int type, struct FTW*) {
            return type == FTW_DP ? ::rmdir(p) : ::unlink(p);
        },
        16, FTW_DEPTH | FTW_PHYS);
}

}  // namespace

}  // namespace quill::bench
