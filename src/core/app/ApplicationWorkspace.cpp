#include "app/ApplicationWorkspace.h"

namespace quill {

bool ApplicationWorkspace::isApplicationFile(const std::string& path) {
    return path.ends_with(".external-body");
}

bool ApplicationWorkspace::openFile(const std::string& path) {
    if (!isApplicationFile(path)) return m_desktop->openFile(path);
    m_application(path);
    return true;
}

}  // namespace quill
