// AttachmentBody: what stands behind an attachment icon before anyone opens
// it. Showing a message writes nothing: the icon holds this reference to the
// bytes its message already has, and the file is made only when the icon is
// opened or saved. The message detaches its references when it goes away,
// and the file made for an icon goes when the last reference to it does.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace quill {

class AttachmentBody {
  public:
    // Writes the attachment at a path (a folder may make a directory there).
    using Writer = std::function<bool(const std::string& path)>;

    explicit AttachmentBody(Writer write) : m_write(std::move(write)) {}
    ~AttachmentBody();
    AttachmentBody(const AttachmentBody&) = delete;
    AttachmentBody& operator=(const AttachmentBody&) = delete;

    // Writes the attachment at path; false when it cannot, or when its message is gone.
    bool saveTo(const std::string& path) const;
    // The file to open: made on first use in directory under a unique form of
    // name, then the same file each time; empty when it cannot be made.
    std::string fileIn(const std::string& directory, const std::string& name) const;
    // Called by the owner of the bytes before they go.
    void detach() { m_write = nullptr; }
    // Removes a file or directory an attachment was written to; failures go to standard error.
    static void removeWritten(const std::string& path);

  private:
    Writer m_write;
    mutable std::optional<std::string> m_file;
};

}  // namespace quill
