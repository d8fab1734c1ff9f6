#include "settings/Defaults.h"

#include <algorithm>
#include <cstdlib>

#include "base/Diagnostics.h"
#include "base/ascii.h"
#include "platform/UserInfo.h"

namespace quill {
namespace {

constexpr const char* kMailDirDefault = "~/tessel/Mailboxes";
constexpr const char* kMailerDefault = "/usr/lib/sendmail";
constexpr const char* kWebBrowserDefault = "xdg-open";
constexpr const char* kMailFilterDefault =
    "Content-Length:Content-Transfer-Encoding:Content-Type:Errors-To:Message-ID:MIME-Version:"
    "Zell-Attachment:Zell-Reference:Originator:Precedence:Received:Return-Path:Status:X-Face:"
    "X-Zell-DocumentID:References:Resent-Message-ID:Content-Length";
constexpr const char* kReadReceiptWords[] = {"Always", "Never", "Ask"};

std::string mailFilterKey(int n) { return n == 0 ? "MailFilter" : formatString("MailFilter%d", n); }

}  // namespace

Defaults::Defaults()
    : m_store(std::make_shared<MemoryDefaultsStore>()),
      m_classNames{"MailMessage", "MimeMessage", "ZellMessage", "SunMessage"} {}

Defaults& Defaults::shared() {
    static Defaults instance;
    return instance;
}

void Defaults::setStore(std::shared_ptr<DefaultsStore> store) {
    m_store = store ? std::move(store) : std::make_shared<MemoryDefaultsStore>();
    m_numbers.clear();
    m_strings.clear();
    m_mailFilter.reset();
    m_spoolFile.reset();
    m_sendFormat = -1;
    m_boldFont.reset();
}

void Defaults::setMessageClassNames(std::vector<std::string> names) {
    m_classNames = std::move(names);
    m_sendFormat = -1;
}

void Defaults::setPlatformFonts(PlatformFonts fonts) {
    m_platformFonts = std::move(fonts);
    m_boldFont.reset();
}

bool Defaults::parseBool(const std::string& text) {
    if (text == "YES") return true;
    if (text == "NO") return false;
    std::string u = uppercased(text);
    if (u == "YES" || u == "Y") return true;
    if (u == "NO" || u == "N") return false;
    return parseInt(text) != 0;
}

int Defaults::parseInt(const std::string& text) { return std::atoi(text.c_str()); }

bool Defaults::getBool(const std::string& key, bool defaultVal) const {
    auto v = m_store->get(key);
    return v ? parseBool(*v) : defaultVal;
}

void Defaults::writeBool(bool value, const std::string& key) {
    m_store->set(key, value ? "YES" : "NO");
}

int Defaults::getInt(const std::string& key, int defaultVal) const {
    auto v = m_store->get(key);
    return v ? parseInt(*v) : defaultVal;
}

void Defaults::writeInt(int value, const std::string& key) {
    m_store->set(key, std::to_string(value));
}

std::optional<std::string> Defaults::getString(const std::string& key,
                                               const char* defaultVal) const {
    if (auto v = m_store->get(key)) return v;
    if (defaultVal) return std::string(defaultVal);
    return std::nullopt;
}

void Defaults::writeString(const std::optional<std::string>& value, const std::string& key) {
    if (!value || value->empty()) {
        m_store->remove(key);
    } else {
        m_store->set(key, *value);
    }
}

bool Defaults::cachedBool(const char* key, bool defaultVal) {
    auto it = m_numbers.find(key);
    if (it != m_numbers.end()) return it->second != 0;
    bool v = getBool(key, defaultVal);
    m_numbers[key] = v ? 1 : 0;
    return v;
}

void Defaults::setCachedBool(const char* key, bool value) {
    auto it = m_numbers.find(key);
    if (it != m_numbers.end() && (it->second != 0) == value) return;
    m_numbers[key] = value ? 1 : 0;
    writeBool(value, key);
}

int Defaults::cachedInt(const char* key, int defaultVal) {
    auto it = m_numbers.find(key);
    if (it != m_numbers.end()) return it->second;
    int v = getInt(key, defaultVal);
    m_numbers[key] = v;
    return v;
}

void Defaults::setCachedInt(const char* key, int value) {
    auto it = m_numbers.find(key);
    if (it != m_numbers.end() && it->second == value) return;
    m_numbers[key] = value;
    writeInt(value, key);
}

std::optional<std::string>& Defaults::cachedString(const char* key, const char* defaultVal,
                                                   bool emptyIsAbsent) {
    std::optional<std::string>& slot = m_strings[key];
    if (!slot) {
        auto stored = m_store->get(key);
        if (stored && !(emptyIsAbsent && stored->empty())) {
            slot = std::move(stored);
        } else if (defaultVal) {
            slot = std::string(defaultVal);
        }
    }
    return slot;
}

void Defaults::setCachedString(const char* key, const std::optional<std::string>& value,
                               const char* defaultVal, bool emptyIsAbsent) {
    // An empty value removes the key, so the slot must read the default again.
    std::optional<std::string> wanted = value && !value->empty() ? value : std::nullopt;
    std::optional<std::string>& slot = cachedString(key, defaultVal, emptyIsAbsent);
    if (slot == wanted) return;
    slot = wanted;
    writeString(wanted, key);
}

#define QUILL_DEFINE_BOOL(getter, setter, key, def)          \
    bool Defaults::getter() { return cachedBool(key, def); } \
    void Defaults::setter(bool value) { setCachedBool(key, value); }
#define QUILL_DEFINE_INT(getter, setter, key, def)         \
    int Defaults::getter() { return cachedInt(key, def); } \
    void Defaults::setter(int value) { setCachedInt(key, value); }
#define QUILL_DEFINE_STRING(getter, setter, key, def)                                     \
    std::string Defaults::getter() { return cachedString(key, def, false).value_or(""); } \
    void Defaults::setter(const std::string& value) { setCachedString(key, value, def, false); }
#define QUILL_DEFINE_NONEMPTY_STRING(getter, setter, key, def)                           \
    std::string Defaults::getter() { return cachedString(key, def, true).value_or(""); } \
    void Defaults::setter(const std::string& value) { setCachedString(key, value, def, true); }
QUILL_BOOL_DEFAULTS(QUILL_DEFINE_BOOL)
QUILL_INT_DEFAULTS(QUILL_DEFINE_INT)
QUILL_STRING_DEFAULTS(QUILL_DEFINE_STRING)
QUILL_NONEMPTY_STRING_DEFAULTS(QUILL_DEFINE_NONEMPTY_STRING)
#undef QUILL_DEFINE_BOOL
#undef QUILL_DEFINE_INT
#undef QUILL_DEFINE_STRING
#undef QUILL_DEFINE_NONEMPTY_STRING

std::string Defaults::mailDir() {
    return cachedString("MailDir", kMailDirDefault, false).value_or("");
}

std::string Defaults::mailDirectory() { return expandTilde(mailDir()); }

void Defaults::setMailDir(const std::string& path) {
    setCachedString("MailDir", path.empty() ? std::string(kMailDirDefault) : path, kMailDirDefault,
                    false);
}

std::string Defaults::mailer() {
    return expandTilde(cachedString("Mailer", kMailerDefault, false).value_or(""));
}

void Defaults::setMailer(const std::string& path) {
    setCachedString("Mailer", path, kMailerDefault, false);
}

std::string Defaults::spoolFile() {
    if (!m_spoolFile) m_spoolFile = expandTilde(spoolDir()) + "/" + currentUser().loginName;
    return *m_spoolFile;
}

bool Defaults::autoLaunch() { return hideOnAutoLaunch() && cachedBool("QXAutoLaunch", false); }

void Defaults::setAutoLaunch(bool value) { setCachedBool("QXAutoLaunch", value); }

std::string Defaults::webBrowserPath() {
    auto v = m_store->get("WebBrowserPath");
    return v && !v->empty() ? *v : kWebBrowserDefault;
}

void Defaults::setWebBrowserPath(const std::optional<std::string>& path) {
    m_store->set("WebBrowserPath", path.value_or(""));
}

std::string Defaults::mailFilter() {
    if (m_mailFilter) return *m_mailFilter;
    std::string joined;
    bool any = false;
    for (int n = 0;; ++n) {
        auto piece = m_store->get(mailFilterKey(n));
        if (!piece) break;
        if (any) joined += ':';
        joined += *piece;
        any = true;
    }
    m_mailFilter = any ? joined : std::string(kMailFilterDefault);
    return *m_mailFilter;
}

void Defaults::setMailFilter(const std::string& value) {
    if (mailFilter() == value) return;
    m_mailFilter = value;
    int n = 0;
    size_t start = 0;
    for (;;) {
        size_t colon = value.find(':', start);
        m_store->set(mailFilterKey(n++), value.substr(start, colon - start));
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    while (m_store->get(mailFilterKey(n))) m_store->remove(mailFilterKey(n++));
}

int Defaults::sendFormat() {
    if (m_sendFormat >= 0) return m_sendFormat;
    std::string name;
    if (auto stored = m_store->get("SendFormat")) {
        name = *stored == "Plain" ? "MailMessage" : *stored == "MIME" ? "ZellMessage" : *stored;
    } else {
        name = nonZell() ? "MailMessage" : "MimeMessage";
    }
    auto it = std::find(m_classNames.begin(), m_classNames.end(), name);
    m_sendFormat = it == m_classNames.end() ? 1 : static_cast<int>(it - m_classNames.begin());
    return m_sendFormat;
}

void Defaults::setSendFormat(int index) {
    if (index < 0 || index >= static_cast<int>(m_classNames.size())) return;
    m_sendFormat = index;
    m_store->set("SendFormat", m_classNames[static_cast<size_t>(index)]);
}

int Defaults::readReceiptOption() {
    auto v = cachedString("ReadReceiptOption", "Always", false);
    for (int i = 0; i < 3; ++i) {
        if (v && *v == kReadReceiptWords[i]) return i;
    }
    return 0;
}

void Defaults::setReadReceiptOption(int option) {
    if (option < 0 || option > 2) option = 0;
    setCachedString("ReadReceiptOption", std::string(kReadReceiptWords[option]), "Always", false);
}

int Defaults::orientation() {
    auto v = cachedString("Orientation", "Portrait", false);
    return v && equalsIgnoringCase(*v, "Portrait") ? 0 : 1;
}

void Defaults::setOrientation(int value) {
    setCachedString("Orientation", std::string(value ? "Landscape" : "Portrait"), "Portrait",
                    false);
}

void Defaults::setUserKey1(const std::string& key, const std::string& value) {
    setUserKey1Only(key);
    setUserValue1(value);
}

FontDescription Defaults::msgFont() {
    return m_platformFonts.userFont.value_or(FontDescription{"Helvetica", 12});
}

void Defaults::updateBoldFont() {
    FontDescription base = msgFont();
    std::string family = base.name.substr(0, base.name.find('-'));
    m_boldFont = FontDescription{family.empty() ? "Helvetica-Bold" : family + "-Bold", base.size};
}

FontDescription Defaults::boldFont() {
    if (!m_boldFont) updateBoldFont();
    return *m_boldFont;
}

FontDescription Defaults::fixedFont() {
    if (m_platformFonts.userFixedFont) return *m_platformFonts.userFixedFont;
    if (m_platformFonts.screenFixedFont) return {m_platformFonts.screenFixedFont->name, 10};
    return {"Courier", 12};
}

FontDescription Defaults::tocFont() {
    std::string name = tocFontName();
    return {name.empty() ? "Helvetica" : name, tocFontSize()};
}

}  // namespace quill
