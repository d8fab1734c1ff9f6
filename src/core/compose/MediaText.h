// MediaText: files dropped or pasted into the text of a message. Rich text
// takes them as attachment icons; plain text cannot hold attachments, so the
// user pastes either each file's path name or its uuencoded contents, which
// any receiver can decode.
#pragma once

#include <string>
#include <vector>

namespace quill {

struct SendServices;
class TextView;

class MediaText {
  public:
    MediaText(TextView& text, const SendServices& services) : m_text(text), m_services(services) {}

    // Inserts the files at the selection in list order; plain text first asks
    // how. False when the user cancelled (nothing inserted).
    bool addFileList(const std::vector<std::string>& paths);
    // Replaces the selection with the uuencoded file, or a directory packed
    // as "NAME.tar.Z"; false (with an alert or a beep) when nothing was made.
    bool addEncodedContents(const std::string& path);
    // Inserts one readable file: an icon in rich text, its path name in plain
    // text. False (with an alert) when it cannot be read.
    bool addImport(const std::string& path);

  private:
    bool pastesEncoded();
    void addPathNames(const std::vector<std::string>& paths);
    void addEncoded(const std::vector<std::string>& paths);
    bool runEncoder(const std::string& path, std::string& output);
    void blankUnlessSpaceAt(size_t position);

    TextView& m_text;
    const SendServices& m_services;
};

}  // namespace quill
