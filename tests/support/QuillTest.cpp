#include "support/QuillTest.h"

#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/Diagnostics.h"
#include "platform/RunLoop.h"
#include "platform/UserInfo.h"
#include "reader/StatusAlerts.h"
#include "settings/Defaults.h"

namespace quill::test {

TempDir::TempDir(const std::string& prefix) {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/" + prefix + ".XXXXXX";
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

TempDir::~TempDir() { removeTree(m_path); }

void removeTree(const std::string& path) {
    ::nftw(
        path.c_str(),
        [](const char* p, const struct stat*, int type, struct FTW*) {
            if (type == FTW_DP || type == FTW_D) {
                ::chmod(p, 0700);
                return ::rmdir(p);
            }
            return ::unlink(p);
        },
        16, FTW_DEPTH | FTW_PHYS);
}

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::string commandOutput(const std::string& command) {
    std::string out;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    ::pclose(pipe);
    return out;
}

void spit(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::vector<std::string> dirEntries(const std::string& path) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(path, error))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<std::string> corpusFile(const std::string& relative) {
    std::string path = std::string(QUILL_SOURCE_DIR) + "/../shared/corpus/" + relative;
    if (::access(path.c_str(), R_OK) != 0) return std::nullopt;
    return path;
}

MailContext QuillTest::mailContext() const {
    return interactiveMailContext(Defaults::shared(), *panels, runLoop());
}

void QuillTest::SetUp() {
    m_tmp = std::make_unique<TempDir>();
    ::mkdir(home().c_str(), 0700);
    ::mkdir(mailDir().c_str(), 0700);
    ::mkdir(spoolDir().c_str(), 0700);
    if (const char* h = std::getenv("HOME")) m_savedHome = h;
    ::setenv("HOME", home().c_str(), 1);
    // Helper programs the tests start read the settings file under here.
    if (const char* c = std::getenv("XDG_CONFIG_HOME")) m_savedConfigHome = c;
    ::setenv("XDG_CONFIG_HOME", (home() + "/.config").c_str(), 1);
    setCurrentUser({"tester", home(), "Test User"});

    panels = std::make_shared<ScriptedPanels>();
    panels->onUnexpected = [](const AlertRequest& r) {
        ADD_FAILURE() << "unexpected alert: " << r.title << ": " << r.message;
    };
    installPanels(panels);
    store = std::make_shared<MemoryDefaultsStore>();
    Defaults::shared().setStore(store);
    store->set("MailDir", mailDir());
    store->set("SpoolDir", spoolDir());
    setLogSink([this](const std::string& line) { logLines.push_back(line); });
}

void QuillTest::TearDown() {
    EXPECT_EQ(panels->pendingAnswers(), 0u) << "scripted alert answers were never asked for";
    setLogSink(nullptr);
    installPanels(nullptr);
    Defaults::shared().setStore(nullptr);
    if (!m_savedHome.empty()) ::setenv("HOME", m_savedHome.c_str(), 1);
    if (m_savedConfigHome) {
        ::setenv("XDG_CONFIG_HOME", m_savedConfigHome->c_str(), 1);
    } else {
        ::unsetenv("XDG_CONFIG_HOME");
    }
    setCurrentUser(userInfoFromSystem());
    m_tmp.reset();
}

std::string QuillTest::writeFile(const std::string& relative, const std::string& bytes) {
    std::string path = m_tmp->path() + "/" + relative;
    for (size_t slash = path.find('/', m_tmp->path().size() + 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        ::mkdir(path.substr(0, slash).c_str(), 0700);
    }
    spit(path, bytes);
    return path;
}

}  // namespace quill::test
