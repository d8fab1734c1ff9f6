// DocumentDirectory: a rich-text document kept as a directory — its main RTF
// file beside the attached files. The main file is "TXT.rtf" in the platform
// form (attached files as "\ZellGraphic" groups followed by the 0xAC byte) or
// "index.rtf" in the wire form ("\attachment" references), which is what
// mailboxes and messages carry.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "richtext/RichText.h"
#include "richtext/RtfWriter.h"

namespace quill {

class DocumentDirectory {
  public:
    static constexpr const char* kPlatformFile = "TXT.rtf";
    static constexpr const char* kWireFile = "index.rtf";
    static const char* mainFileName(AttachmentForm form);

    // Reads the document at dir ("TXT.rtf" first, else "index.rtf"). Each
    // attached file's path is set to the file of that name in dir. Nothing,
    // with errno set, when the directory or its main file cannot be read or
    // the main file is not RTF.
    static std::unique_ptr<DocumentDirectory> load(const std::string& dir);
    // The document of dir whose main text is rtf, already read (and perhaps
    // rewritten) by the caller.
    static std::unique_ptr<DocumentDirectory> fromRtf(const std::string& dir, std::string_view rtf,
                                                      AttachmentForm form);
    // Saves text as a document directory at dir: makes the directory when
    // needed, copies in every attached file that is not there yet (symbolic
    // links stay links, directories are copied whole), writes the main file of
    // the form and removes the other form's main file. False, with errno set,
    // when a step fails; the main file is then either the old or the new one.
    static bool save(const std::string& dir, const RichText& text,
                     AttachmentForm form = AttachmentForm::Platform);

    // Makes the files of dir match text: copies in every attached file not
    // there yet and removes every entry that no cell names, except the names
    // in keep (the main files, say). False, with errno set, when a step fails.
    static bool bringUpToDate(const std::string& dir, const RichText& text,
                              const std::vector<std::string>& keep);

    const std::string& path() const { return m_path; }
    AttachmentForm form() const { return m_form; }
    const RichText& text() const { return m_text; }
    // Names of the directory's entries other than its main files, sorted.
    const std::vector<std::string>& files() const { return m_files; }

  private:
    std::string m_path;
    AttachmentForm m_form = AttachmentForm::Platform;
    RichText m_text;
    std::vector<std::string> m_files;
};

}  // namespace quill
