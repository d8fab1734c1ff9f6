// safetar: the system tar, made safe for unpacking archives that came in mail.
//
//   safetar x[v]f ARCHIVE [-C DIR]     unpack ("-" reads the archive from standard input)
//   safetar t[v]f ARCHIVE              list
//   safetar c[v]f ARCHIVE ARGS...      pack, as tar would
//
// Before unpacking, the archive is listed and every member checked: no
// absolute names, no "..", nothing but files, directories and links, no
// symbolic link that points outside the target directory, nothing unpacked
// through a symbolic link. Only then does tar unpack it, without taking owners
// or permission bits from the archive. A refused archive writes nothing and
// exits with status 2.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "base/FileHandles.h"
#include "process/PosixProcessLauncher.h"
#include "process/RunCommand.h"

namespace {

using quill::RunCommand;

constexpr int kRefused = 2;

struct Member {
    char type = '?';
    std::string name;
    std::string target;  // of a symbolic or hard link
};

// The archive as a file tar can read twice; standard input is copied first.
class ArchiveFile {
  public:
    explicit ArchiveFile(const std::string& path) : m_path(path) {}
    ~ArchiveFile() {
        if (m_temporary) ::unlink(m_path.c_str());
    }
    bool copyStandardInput() {
        const char* dir = std::getenv("TMPDIR");
        std::string pattern = std::string(dir && *dir ? dir : "/tmp") + "/safetar.XXXXXX";
        quill::UniqueFd fd(::mkostemp(pattern.data(), O_CLOEXEC));
        if (!fd) return false;
        m_path = pattern;
        m_temporary = true;
        std::string data;
        return quill::readAll(0, data) && quill::writeAll(fd.get(), data);
    }
    const std::string& path() const { return m_path; }

  private:
    std::string m_path;
    bool m_temporary = false;
};

// Reads one C-quoted string starting at `p` (on its opening quote).
bool unquote(const std::string& line, size_t& p, std::string& out) {
    static const std::string kEscapes = "a\ab\bf\fn\nr\rt\tv\v\\\\\"\"??";
    if (p >= line.size() || line[p] != '"') return false;
    out.clear();
    for (++p; p < line.size(); ++p) {
        char c = line[p];
        if (c == '"') {
            ++p;
            return true;
        }
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++p >= line.size()) return false;
        if (line[p] >= '0' && line[p] <= '7') {
            int v = 0;
            for (int i = 0; i < 3 && p < line.size() && line[p] >= '0' && line[p] <= '7'; ++i)
                v = v * 8 + (line[p++] - '0');
            --p;
            out += static_cast<char>(v);
            continue;
        }
        size_t at = kEscapes.find(line[p]);
        if (at == std::string::npos || at % 2) return false;
        out += kEscapes[at + 1];
    }
    return false;
}

// One line of "tar -tv --quoting-style=c": mode string, owner, size, date and
// time, then the quoted name and, for links, the quoted target.
bool parseListing(const std::string& line, Member& member) {
    size_t p = line.find('"');
    if (line.empty() || p == std::string::npos) return false;
    member.type = line[0];
    if (!unquote(line, p, member.name)) return false;
    std::string rest = line.substr(p);
    member.target.clear();
    if (rest.empty()) return true;
    for (const char* arrow : {" -> ", " link to "}) {
        std::string a = arrow;
        if (rest.compare(0, a.size(), a) == 0) {
            size_t q = a.size();
            return unquote(rest, q, member.target) && q == rest.size();
        }
    }
    return false;
}

// The components of a relative name without "." and empty ones.
std::vector<std::string> components(const std::string& name) {
    std::vector<std::string> parts;
    std::stringstream in(name);
    std::string part;
    while (std::getline(in, part, '/')) {
        if (!part.empty() && part != ".") parts.push_back(part);
    }
    return parts;
}

std::string joined(const std::vector<std::string>& parts, size_t count) {
    std::string out;
    for (size_t i = 0; i < count; ++i) out += (i ? "/" : "") + parts[i];
    return out;
}

// Why a name may not be unpacked, or null.
const char* badName(const std::string& name) {
    if (!name.empty() && name[0] == '/') return "absolute name";
    for (const auto& part : components(name)) {
        if (part == "..") return "name with \"..\"";
    }
    return nullptr;
}

// A symbolic link may climb only with leading ".." and not above the target directory.
const char* badLinkTarget(const Member& m) {
    if (m.target.empty() || m.target[0] == '/') return "link to an absolute name";
    auto parts = components(m.target);
    size_t up = 0;
    while (up < parts.size() && parts[up] == "..") ++up;
    for (size_t i = up; i < parts.size(); ++i) {
        if (parts[i] == "..") return "link climbing out of the middle of its path";
    }
    size_t depth = components(m.name).size() - 1;
    return up > depth ? "link pointing outside the directory" : nullptr;
}

const char* checkMember(const Member& m, const std::set<std::string>& symlinks) {
    static const std::string kAllowed = "-dlh";
    if (kAllowed.find(m.type) == std::string::npos) return "not a file, directory or link";
    if (const char* why = badName(m.name)) return why;
    if (m.type == 'l' && components(m.name).empty()) return "link in place of the directory";
    if (m.type == 'l') {
        if (const char* why = badLinkTarget(m)) return why;
    }
    if (m.type == 'h') {
        if (const char* why = badName(m.target)) return why;
    }
    for (const std::string* path : {&m.name, &m.target}) {
        auto parts = components(*path);
        for (size_t n = 1; n < parts.size(); ++n) {
            if (symlinks.count(joined(parts, n))) return "unpacked through a symbolic link";
        }
    }
    return nullptr;
}

bool validate(RunCommand& run, const std::string& archive) {
    quill::ByteSink listing;
    int status = run.runPipeWithOutputTo(
        {{"tar", "-tvP", "--quoting-style=c", "--numeric-owner", "-f", archive}}, listing);
    if (status != 0) {
        std::cerr << "safetar: cannot list the archive\n";
        return false;
    }
    std::vector<Member> members;
    std::set<std::string> symlinks;
    std::istringstream lines(listing.bytes());
    std::string line;
    while (std::getline(lines, line)) {
        Member m;
        if (!parseListing(line, m)) {
            std::cerr << "safetar: refusing to unpack: unreadable listing line: " << line << "\n";
            return false;
        }
        if (m.type == 'l') symlinks.insert(joined(components(m.name), components(m.name).size()));
        members.push_back(m);
    }
    for (const auto& m : members) {
        if (const char* why = checkMember(m, symlinks)) {
            std::cerr << "safetar: refusing to unpack: " << m.name << ": " << why << "\n";
            return false;
        }
    }
    return true;
}

int usage() {
    std::cerr << "usage: safetar x[v]f ARCHIVE [-C DIR] | t[v]f ARCHIVE | c[v]f ARCHIVE ARGS...\n";
    return kRefused;
}

int extract(RunCommand& run, const std::string& key, const std::vector<std::string>& args) {
    if (args.size() != 1 && !(args.size() == 3 && args[1] == "-C")) return usage();
    ArchiveFile archive(args[0]);
    if (args[0] == "-" && !archive.copyStandardInput()) {
        std::perror("safetar: reading the archive");
        return kRefused;
    }
    if (!validate(run, archive.path())) return kRefused;
    RunCommand::Argv tar = {"tar", "-x", "--no-same-owner", "--no-same-permissions",
                            "--no-overwrite-dir"};
    if (key.find('v') != std::string::npos) tar.push_back("-v");
    tar.insert(tar.end(), {"-f", archive.path()});
    if (args.size() == 3) tar.insert(tar.end(), {"-C", args[2]});
    return run.runPipe({tar}, nullptr, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() < 2) return usage();
    std::string key = args[0];
    if (!key.empty() && key[0] == '-') key.erase(0, 1);
    if (key.find_first_not_of("xtcvf") != std::string::npos || key.find('f') == std::string::npos)
        return usage();
    args.erase(args.begin());
    quill::ChildWatch watch;
    quill::PosixProcessLauncher launcher(watch);
    RunCommand run(launcher);
    if (key.find('x') != std::string::npos) return extract(run, key, args);
    // Listing and packing never write outside what they are told to.
    RunCommand::Argv tar = {"tar", "-" + key};
    tar.insert(tar.end(), args.begin(), args.end());
    return run.runPipe({tar}, nullptr, nullptr);
}
