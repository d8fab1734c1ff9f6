#include "ui/compose/ComposeWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <map>

#include "addressbook/AddressCompletion.h"
#include "addressbook/Alias.h"
#include "app/MailDriver.h"
#include "compose/AddressFieldAppend.h"
#include "compose/ComposeClosing.h"
#include "compose/MediaText.h"
#include "compose/ReplyEngine.h"
#include "message/MailClass.h"
#include "message/MailMessage.h"
#include "platform/Localized.h"
#include "platform/Panels.h"
#include "process/ProcessLauncher.h"
#include "settings/Defaults.h"
#include "ui/compose/ComposeReplyTarget.h"
#include "ui/compose/ComposeTextEdit.h"
#include "ui/compose/ComposeWindowController.h"
#include "ui/compose/SendOptionsPanel.h"
#include "ui/platform/QtText.h"

namespace quill {
namespace {

// The header form's fields in delivery numbering: To, Subject, Cc.
constexpr int kFormFields = 3;
constexpr float kRichMargin = 6;
constexpr int kMinWidth = 560;
constexpr int kFrameWidth = 60;
constexpr int kHeight = 480;

std::vector<ComposeWindow*>& windows() {
    static std::vector<ComposeWindow*> open;
    return open;
}

QString uiText(const char* text) { return utf8Text(localized(kUITable, text)); }

std::string fieldText(const QLineEdit* edit) { return edit->text().toLatin1().toStdString(); }

}  // namespace

ComposeWindow::ComposeWindow(std::shared_ptr<MailReader> reader, QWidget* parent)
    : QWidget(parent, Qt::Window),
      m_reader(std::move(reader)),
      m_send(
          std::make_unique<Send>(SendServices(MailDriver::shared().mailContext(), processLauncher(),
                                              [] { return &Alias::shared().book(); }))) {
    setAttribute(Qt::WA_DeleteOnClose);
    m_target = std::make_unique<ComposeReplyTarget>(*m_send, *this);
    m_text = new ComposeTextEdit(m_send->text(), this);
    m_text->setFilesAccepted([this] { return m_send->sendFormat() != kPlainFormat; });
    m_text->setFilesAsText([this](const std::vector<std::string>& files) {
        return MediaText(m_send->text(), m_send->services()).addFileList(files);
    });
    connect(m_text, &ComposeTextEdit::textEdited, this, &ComposeWindow::textEdited);
    connect(m_text, &ComposeTextEdit::filesPasted, this, [this] { m_target->textDidPaste(); });
    auto* layout = new QVBoxLayout(this);
    buildForm();
    buildButtons();
    layout->addWidget(m_text, 1);
    m_send->setView(this);
    formatChanged(m_send->sendFormat());
    fitLineLength();
    m_receipt->setChecked(m_send->readReceipt());
    m_reply->setVisible(m_reader != nullptr);
    m_include->setVisible(m_reader != nullptr);
    windows().insert(windows().begin(), this);
    ComposeAddressTarget::setFrontmostSource(
        []() -> ComposeAddressTarget* { return windows().empty() ? nullptr : windows().front(); });
    m_controller = std::make_shared<ComposeWindowController>(this);
    MailDriver::shared().addComposeWindow(m_controller);
    selectField(kFieldTo);
}

ComposeWindow::~ComposeWindow() {
    std::erase(windows(), this);
    MailDriver::shared().removeComposeWindow(m_controller.get());
    if (SendOptionsPanel::exists()) SendOptionsPanel::shared().forget(this);
    m_send->setView(nullptr);
}

const std::vector<ComposeWindow*>& ComposeWindow::openWindows() { return windows(); }

ComposeWindow* ComposeWindow::perform(std::shared_ptr<MailReader> reader,
                                      MailReader::Command command) {
    using C = MailReader::Command;
    std::unique_ptr<MailMessage> draft;
    if (command == C::RestoreDraft) {
        draft = reader ? reader->draftToRestore(true) : nullptr;
        if (!draft) return nullptr;
    }
    auto* window = new ComposeWindow(command == C::NewMessage ? nullptr : reader);
    window->show();
    switch (command) {
        case C::Reply:
        case C::ReplyAll:
            window->reply(command == C::ReplyAll);
            break;
        case C::Forward:
            window->forward();
            break;
        case C::WrapAndReply:
            window->reply(false);
            window->wrapAndReply();
            break;
        case C::RestoreDraft:
            window->restoreDraft(*draft);
            break;
        default:
            break;
    }
    return window;
}

// Wide enough for a whole line of the line length in the fixed-pitch font.
void ComposeWindow::fitLineLength() {
    Defaults& defaults = MailDriver::shared().mailContext().defaults;
    const FontDescription fixed = defaults.fixedFont();
    const QFontMetrics metrics(QFont(latin1Text(fixed.name), fixed.size));
    const int columns = defaults.lineLength() + 2;
    resize(std::max(kMinWidth, metrics.horizontalAdvance(QString(columns, 'm')) + kFrameWidth),
           kHeight);
}

QLineEdit* ComposeWindow::field(int field) const {
    return field >= 0 && field < kFormFields ? m_fields[field] : nullptr;
}

void ComposeWindow::buildForm() {
    auto* form = new QFormLayout;
    const char* labels[kFormFields] = {"To:", "Subject:", "Cc:"};
    for (int f = 0; f < kFormFields; ++f) {
        m_fields[f] = new QLineEdit(this);
        form->addRow(uiText(labels[f]), m_fields[f]);
        connect(m_fields[f], &QLineEdit::textEdited, this, [this, f](const QString& text) {
            m_send->setField(f, text.toLatin1().toStdString());
        });
        if (f != kFieldSubject) m_fields[f]->installEventFilter(this);
    }
    static_cast<QVBoxLayout*>(layout())->addLayout(form);
}

void ComposeWindow::addStyleKeys() {
    const std::pair<QKeySequence::StandardKey, unsigned> keys[] = {
        {QKeySequence::Bold, kBoldTrait},
        {QKeySequence::Italic, kItalicTrait},
        {QKeySequence::Underline, kUnderlineTrait}};
    for (const auto& [key, trait] : keys) {
        auto* action = new QAction(this);
        action->setShortcut(key);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, m_text,
                [this, trait] { m_text->toggleTraits(trait); });
        addAction(action);
    }
}

void ComposeWindow::buildButtons() {
    auto* row = new QHBoxLayout;
    m_deliver = new QPushButton(uiText("Deliver"), this);
    m_reply = new QPushButton(this);
    m_include = new QPushButton(uiText("Include"), this);
    m_attach = new QPushButton(uiText("Add Attachment"), this);
    m_format = new QToolButton(this);
    m_receipt = new QToolButton(this);
    m_receipt->setText(uiText("Receipt"));
    m_receipt->setCheckable(true);
    m_options = new QPushButton(uiText("Options"), this);
    m_size = new QLabel(this);
    for (QWidget* w : std::initializer_list<QWidget*>{m_deliver, m_reply, m_include, m_attach,
                                                      m_format, m_receipt, m_options})
        row->addWidget(w);
    row->addStretch(1);
    row->addWidget(m_size);
    static_cast<QVBoxLayout*>(layout())->addLayout(row);
    offerReplyAll(false);
    connect(m_deliver, &QPushButton::clicked, this, &ComposeWindow::deliver);
    connect(m_reply, &QPushButton::clicked, this,
            [this] { withEngine([this](ReplyEngine& e) { e.replyHelper(m_replyAllOffered); }); });
    connect(m_include, &QPushButton::clicked, this, &ComposeWindow::includeMessage);
    connect(m_attach, &QPushButton::clicked, this, &ComposeWindow::addAttachment);
    connect(m_format, &QToolButton::clicked, this, &ComposeWindow::cycleFormat);
    connect(m_receipt, &QToolButton::toggled, this,
            [this](bool on) { m_send->setReadReceipt(on); });
    addStyleKeys();
    connect(m_options, &QPushButton::clicked, this, [this] {
        SendOptionsPanel::shared().setCurSender(this);
        SendOptionsPanel::shared().show();
    });
}

void ComposeWindow::withEngine(const std::function<void(ReplyEngine&)>& action) {
    m_text->syncSelectionToCore();
    ReplyEngine engine(*m_target, m_reader.get(), MailDriver::shared().mailContext().defaults);
    action(engine);
    m_text->reload();
}

void ComposeWindow::reply(bool toAll) {
    withEngine([&](ReplyEngine& e) {
        e.replyHelper(toAll);
        e.addComposeTemplate();
    });
}

void ComposeWindow::forward() {
    withEngine([](ReplyEngine& e) {
        e.forward();
        e.addComposeTemplate();
    });
}

void ComposeWindow::wrapAndReply() {
    withEngine([](ReplyEngine& e) { e.forwardAndWrap(); });
}

void ComposeWindow::includeMessage() {
    withEngine([](ReplyEngine& e) { e.includeMessage(); });
}

void ComposeWindow::restoreDraft(MailMessage& draft) {
    withEngine([&](ReplyEngine& e) { e.restoreDraftFromMessage(draft); });
}

void ComposeWindow::addAttachment() {
    if (m_send->sendFormat() == kPlainFormat) return;
    OpenPanelRequest request;
    request.title = localized(kAlertsTable, "Add Attachment");
    request.allowMultiple = true;
    std::vector<std::string> files = panels().runOpenPanel(request);
    if (files.empty()) return;
    m_text->syncSelectionToCore();
    for (const std::string& file : files) m_send->text().replaceSelWithFile(file);
    m_text->reload();
    m_target->textDidPaste();
}

void ComposeWindow::cycleFormat() {
    m_text->syncSelectionToCore();
    m_send->setSendFormat(m_send->nextFormat());
    m_text->reload();
}

void ComposeWindow::deliver() {
    commitFieldEdits();
    const Qt::KeyboardModifiers held = QApplication::keyboardModifiers();
    std::optional<bool> archive;
    if (held & Qt::AltModifier) archive = true;
    if (held & Qt::ControlModifier) archive = false;
    m_send->deliverAction(archive);
}

void ComposeWindow::showField(int field) {
    if (QLineEdit* edit = this->field(field))
        edit->setText(latin1Text(m_send->getField(field).value_or("")));
}

void ComposeWindow::selectField(int field) {
    if (QLineEdit* edit = this->field(field)) {
        edit->setFocus();
        edit->selectAll();
    }
}

void ComposeWindow::offerReplyAll(bool replyAll) {
    m_replyAllOffered = replyAll;
    m_reply->setText(uiText(replyAll ? "Reply All" : "Reply"));
}

void ComposeWindow::textEdited() { m_send->textDidChange(); }

// The button names a format by its icon: the built-in classes share labels.
QString ComposeWindow::formatName(int index) {
    static const std::map<std::string, const char*> names = {{"nonzell", "Plain"},
                                                             {"mimemail", "MIME"},
                                                             {"zellmail", "Native"},
                                                             {"sunmail", "Mailtool"}};
    const auto& classes = MailMessage::mailClasses();
    if (index < 0 || index >= static_cast<int>(classes.size())) return QString();
    const char* icon = classes[index]->formatIcon;
    auto it = names.find(icon ? icon : "");
    return uiText(it == names.end() ? classes[index]->formatLabel : it->second);
}

void ComposeWindow::updateFormatButton() {
    m_format->setText(formatName(m_send->sendFormat()));
    m_format->setToolTip(formatName(m_send->nextFormat()));
}

// ---- SendView ----

void ComposeWindow::setTitle(const std::string& title) {
    setWindowTitle(latin1Text(title) + "[*]");
}

void ComposeWindow::setSizeText(const std::string& text) { m_size->setText(latin1Text(text)); }

void ComposeWindow::setSpecialDelivery(bool rich) {
    m_deliver->setText(uiText(rich ? "Special Delivery" : "Deliver"));
}

void ComposeWindow::setDocumentEdited(bool edited) { setWindowModified(edited); }

void ComposeWindow::commitFieldEdits() {
    for (int f = 0; f < kFormFields; ++f) m_send->setField(f, fieldText(m_fields[f]));
}

void ComposeWindow::formatChanged(int index) {
    const bool plain = index == kPlainFormat;
    Defaults& defaults = MailDriver::shared().mailContext().defaults;
    const FontDescription font = plain ? defaults.fixedFont() : defaults.msgFont();
    m_text->setFont(QFont(latin1Text(font.name), static_cast<int>(font.size)));
    m_text->document()->setDocumentMargin(plain ? 4 : kRichMargin);
    m_text->setLineWrapMode(plain ? QTextEdit::FixedColumnWidth : QTextEdit::WidgetWidth);
    m_text->setLineWrapColumnOrWidth(defaults.lineLength());
    m_attach->setEnabled(!plain);
    m_text->reload();
    updateFormatButton();
}

void ComposeWindow::hideWindow() { hide(); }

void ComposeWindow::orderFront() {
    show();
    raise();
    activateWindow();
}

void ComposeWindow::performClose() {
    m_closeDecided = true;
    close();
}

// ---- address book ----

void ComposeWindow::appendTo(const std::string& name) { loadNames(name, kFieldTo); }

void ComposeWindow::appendCc(const std::string& name) { loadNames(name, kFieldCc); }

void ComposeWindow::loadNames(const std::string& names, int field) {
    if (field != kFieldCc) field = kFieldTo;
    commitFieldEdits();
    std::optional<std::string> text =
        AddressFieldAppend::appended(m_send->getField(field).value_or(""), names);
    if (!text) return;
    m_send->setField(field, *text);
    showField(field);
    SendOptionsPanel::shared().setCurSender(this);
    selectField(field);
}

bool ComposeWindow::completeAddress(QLineEdit* edit) {
    const int start = edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
    const int end = start + static_cast<int>(edit->selectedText().size());
    AddressCompletion completion(fieldText(edit), start, end);
    if (!completion.complete(Alias::shared().book())) {
        edit->setText(latin1Text(completion.text()));
        edit->setCursorPosition(static_cast<int>(completion.selectionEnd()));
        panels().beep();
        return false;
    }
    edit->setText(latin1Text(completion.text()));
    edit->setSelection(static_cast<int>(completion.selectionStart()),
                       static_cast<int>(completion.selectionEnd() - completion.selectionStart()));
    return true;
}

// ---- events ----

// Escape completes the address being typed in To and Cc.
bool ComposeWindow::eventFilter(QObject* watched, QEvent* event) {
    auto* edit = qobject_cast<QLineEdit*>(watched);
    if (edit && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        completeAddress(edit);
        m_send->setField(edit == m_fields[kFieldTo] ? kFieldTo : kFieldCc, fieldText(edit));
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void ComposeWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        std::erase(windows(), this);
        windows().insert(windows().begin(), this);
    }
    QWidget::changeEvent(event);
}

void ComposeWindow::closeEvent(QCloseEvent* event) {
    commitFieldEdits();
    if (!m_closeDecided && !ComposeClosing::windowShouldClose(*m_send, panels())) {
        event->ignore();
        return;
    }
    event->accept();
}

}  // namespace quill
