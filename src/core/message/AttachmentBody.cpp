#include "message/AttachmentBody.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "message/MailMessage.h"

namespace quill {

AttachmentBody::~AttachmentBody() {
    if (m_file) removeWritten(*m_file);
}

void AttachmentBody::removeWritten(const std::string& path) {
    std::error_code error;
    if (std::filesystem::is_directory(std::filesystem::symlink_status(path, error))) {
        std::filesystem::remove_all(path, error);
        if (!error) return;
    } else if (::unlink(path.c_str()) == 0 || errno == ENOENT) {
        return;
    }
    std::perror(path.c_str());
}

bool AttachmentBody::saveTo(const std::string& path) const { return m_write && m_write(path); }

std::string AttachmentBody::fileIn(const std::string& directory, const std::string& name) const {
    if (m_file) return *m_file;
    std::string path = directory + "/" + name;
    mkuniquefile(path);
    if (!saveTo(path)) return {};
    m_file = path;
    return path;
}

}  // namespace quill
