// ComposeTextEdit: the body of a compose window. It shows a core TextView and
// writes every edit the user makes back into it, position for position (each
// character of the document is one byte of the text, an attachment icon its
// cell), so the core always holds what will be delivered. Files dropped or
// pasted go in as attachment icons when the format takes them, and are
// otherwise handed on to become text.
#pragma once

#include <QTextEdit>
#include <functional>
#include <string>
#include <vector>

namespace quill {

class TextView;

class ComposeTextEdit : public QTextEdit {
    Q_OBJECT
  public:
    ComposeTextEdit(TextView& text, QWidget* parent = nullptr);

    // Shows the core text again, with its selection (after the core changed it).
    void reload();
    // Hands the cursor's selection to the core text before a core edit.
    void syncSelectionToCore();
    // Flips bold, italic or underline over the selection, or for what is
    // typed next when nothing is selected; plain text takes no styles.
    void toggleTraits(unsigned bits);
    // Whether pasted files become attachments (not in the plain format).
    void setFilesAccepted(std::function<bool()> accepted) { m_filesAccepted = std::move(accepted); }
    // Where files go that the format does not take as attachments; it edits
    // the core text at its selection and answers whether anything changed.
    using FilesAsText = std::function<bool(const std::vector<std::string>&)>;
    void setFilesAsText(FilesAsText handler) { m_filesAsText = std::move(handler); }

  signals:
    // The user changed the text; the core text holds the change.
    void textEdited();
    // Files went in as attachments.
    void filesPasted();

  protected:
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;

  private:
    void contentsChanged(int position, int removed, int added);
    bool sameCharacters(int position, int count) const;
    void copyRangeToCore(int from, int to);
    void insertPiece(const QString& piece, const QTextCharFormat& format);
    void insertFilesAsText(const QStringList& files);

    TextView& m_text;
    std::function<bool()> m_filesAccepted;
    FilesAsText m_filesAsText;
    bool m_loading = false;
};

}  // namespace quill
