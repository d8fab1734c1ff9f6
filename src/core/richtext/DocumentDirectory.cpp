#include "richtext/DocumentDirectory.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <optional>
#include <system_error>

#include "base/FileHandles.h"
#include "richtext/RtfReader.h"

namespace quill {
namespace {

namespace fs = std::filesystem;

bool isMainFile(const std::string& name) {
    return name == DocumentDirectory::kPlatformFile || name == DocumentDirectory::kWireFile;
}

bool listFiles(const std::string& dir, std::vector<std::string>& out, bool skipMainFiles = true) {
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (!skipMainFiles || !isMainFile(name)) out.push_back(name);
    }
    if (ec) {
        errno = ec.value();
        return false;
    }
    std::sort(out.begin(), out.end());
    return true;
}

bool fail(const std::error_code& ec) {
    errno = ec.value();
    return false;
}

// Puts the cell's file into dir under the cell's name, unless it is there already.
bool copyIn(const std::string& dir, const Attachment& cell) {
    if (!cell.isFile() || cell.path.empty() || cell.name.empty()) return true;
    fs::path target = fs::path(dir) / cell.name;
    std::error_code ec;
    bool present = fs::exists(fs::symlink_status(target, ec));
    fs::file_status source = fs::symlink_status(cell.path, ec);
    if (ec) return present ? true : fail(ec);  // already moved in, or lost
    if (present && fs::equivalent(cell.path, target, ec)) return true;
    if (fs::is_symlink(source)) {
        fs::remove(target, ec);
        fs::copy_symlink(cell.path, target, ec);
    } else {
        fs::copy(cell.path, target,
                 fs::copy_options::recursive | fs::copy_options::copy_symlinks |
                     fs::copy_options::overwrite_existing,
                 ec);
    }
    return ec ? fail(ec) : true;
}

}  // namespace

const char* DocumentDirectory::mainFileName(AttachmentForm form) {
    return form == AttachmentForm::Platform ? kPlatformFile : kWireFile;
}

std::unique_ptr<DocumentDirectory> DocumentDirectory::load(const std::string& dir) {
    for (AttachmentForm form : {AttachmentForm::Platform, AttachmentForm::Wire}) {
        std::string rtf;
        if (readFile(dir + "/" + mainFileName(form), rtf)) return fromRtf(dir, rtf, form);
        if (errno != ENOENT) return nullptr;
    }
    return nullptr;
}

std::unique_ptr<DocumentDirectory> DocumentDirectory::fromRtf(const std::string& dir,
                                                              std::string_view rtf,
                                                              AttachmentForm form) {
    std::optional<RichText> text = RtfReader::read(rtf);
    if (!text) {
        errno = EINVAL;
        return nullptr;
    }
    auto doc = std::make_unique<DocumentDirectory>();
    doc->m_path = dir;
    doc->m_form = form;
    doc->m_text = std::move(*text);
    doc->m_text.editAttachments([&](Attachment& cell) {
        if (cell.isFile() && !cell.name.empty()) cell.path = dir + "/" + cell.name;
    });
    if (!listFiles(dir, doc->m_files)) return nullptr;
    return doc;
}

bool DocumentDirectory::bringUpToDate(const std::string& dir, const RichText& text,
                                      const std::vector<std::string>& keep) {
    std::vector<std::string> wanted = keep;
    for (const Attachment* cell : text.attachments()) {
        if (!copyIn(dir, *cell)) return false;
        if (cell->isFile()) wanted.push_back(cell->name);
    }
    std::vector<std::string> present;
    if (!listFiles(dir, present, false)) return false;
    for (const std::string& name : present) {
        if (std::find(wanted.begin(), wanted.end(), name) != wanted.end()) continue;
        std::error_code ec;
        fs::remove_all(fs::path(dir) / name, ec);
        if (ec) return fail(ec);
    }
    return true;
}

bool DocumentDirectory::save(const std::string& dir, const RichText& text, AttachmentForm form) {
    if (::mkdir(dir.c_str(), 0777) != 0) {
        struct stat st;
        if (errno != EEXIST || ::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            if (errno == EEXIST) errno = ENOTDIR;
            return false;
        }
    }
    for (const Attachment* cell : text.attachments()) {
        if (!copyIn(dir, *cell)) return false;
    }
    TempFile main(dir + "/" + mainFileName(form));
    if (!main.valid() || !main.write(RtfWriter::write(text, form)) || !main.commit()) return false;
    AttachmentForm other =
        form == AttachmentForm::Platform ? AttachmentForm::Wire : AttachmentForm::Platform;
    std::string stale = dir + "/" + mainFileName(other);
    if (::unlink(stale.c_str()) != 0 && errno != ENOENT) return false;
    return true;
}

}  // namespace quill
