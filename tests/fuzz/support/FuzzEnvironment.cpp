#include "support/FuzzEnvironment.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "base/Diagnostics.h"
#include "base/FileHandles.h"
#include "message/MailMessage.h"
#include "platform/ConsolePanels.h"
#include "platform/UserInfo.h"
#include "settings/Defaults.h"
#include "settings/DefaultsStore.h"

namespace quill::fuzz {
namespace {

std::string makeRoot() {
    const char* tmp = std::getenv("TMPDIR");
    std::string base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : (tmp ? tmp : "/tmp");
    std::string name = base + "/quill-fuzz-XXXXXX";
    if (!::mkdtemp(name.data())) std::abort();
    return name;
}

}  // namespace

FuzzEnvironment& FuzzEnvironment::shared() {
    static FuzzEnvironment environment;
    return environment;
}

FuzzEnvironment::FuzzEnvironment()
    : m_root(makeRoot()), m_home(m_root + "/home"), m_scratch(m_root + "/scratch") {
    std::filesystem::create_directories(mailDir());
    ::setenv("HOME", m_home.c_str(), 1);
    setCurrentUser({"fuzzer", m_home, "Fuzz User"});
    setLogSink([](const std::string&) {});
    // Alerts take their default button and are written nowhere, so nothing grows.
    installPanels(std::make_shared<ConsolePanels>(true, std::fopen("/dev/null", "w")));
    auto store = std::make_shared<MemoryDefaultsStore>();
    store->set("MailDir", mailDir());
    Defaults::shared().setStore(store);
    std::filesystem::create_directories(m_root + "/attachments");
    MailMessage::setDefaultAttachmentDirectory(m_root + "/attachments");
}

FuzzEnvironment::~FuzzEnvironment() {
    std::error_code ignored;
    std::filesystem::remove_all(m_root, ignored);
}

const std::string& FuzzEnvironment::freshScratch() {
    std::error_code ignored;
    std::filesystem::remove_all(m_scratch, ignored);
    std::filesystem::create_directories(m_scratch);
    return m_scratch;
}

std::pair<std::string_view, std::string_view> FuzzEnvironment::splitPair(const uint8_t* data,
                                                                         size_t size) {
    std::string_view all(reinterpret_cast<const char*>(data), size);
    if (size < 2) return {all.substr(0, 0), all.substr(size)};
    size_t first = std::min<size_t>((size_t(data[0]) << 8) | data[1], size - 2);
    return {all.substr(2, first), all.substr(2 + first)};
}

void FuzzEnvironment::writeFile(const std::string& path, std::string_view bytes) {
    UniqueFd fd = openFile(path, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (!fd || !writeAll(fd.get(), bytes)) std::abort();
}

}  // namespace quill::fuzz
