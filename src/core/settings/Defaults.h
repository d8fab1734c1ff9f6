// Defaults: typed access to every user setting. One shared object reads each
// key from the DefaultsStore at most once, keeps what it read, supplies the
// built-in default of an absent key, and writes a value back only when it changes.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "settings/DefaultsKeys.h"
#include "settings/DefaultsStore.h"

namespace quill {

// A font as a name and a point size, for the GUI to resolve.
struct FontDescription {
    std::string name;
    int size = 12;
    bool operator==(const FontDescription&) const = default;
};

// The fonts the desktop offers, when it has an opinion.
struct PlatformFonts {
    std::optional<FontDescription> userFont;
    std::optional<FontDescription> userFixedFont;
    std::optional<FontDescription> screenFixedFont;
};

class Defaults {
  public:
    static Defaults& shared();

    // Replaces the store and forgets everything cached.
    void setStore(std::shared_ptr<DefaultsStore> store);
    DefaultsStore& store() { return *m_store; }
    // The message classes in registration order, for "SendFormat".
    void setMessageClassNames(std::vector<std::string> names);
    const std::vector<std::string>& messageClassNames() const { return m_classNames; }
    void setPlatformFonts(PlatformFonts fonts);

    // Typed primitives.
    bool getBool(const std::string& key, bool defaultVal) const;
    void writeBool(bool value, const std::string& key);
    int getInt(const std::string& key, int defaultVal) const;
    void writeInt(int value, const std::string& key);
    std::optional<std::string> getString(const std::string& key, const char* defaultVal) const;
    // An absent or empty value removes the key.
    void writeString(const std::optional<std::string>& value, const std::string& key);

    // The readings of stored text used for booleans and integers.
    static bool parseBool(const std::string& text);
    static int parseInt(const std::string& text);

#define QUILL_DECLARE_BOOL(getter, setter, key, def) \
    bool getter();                                   \
    void setter(bool value);
#define QUILL_DECLARE_INT(getter, setter, key, def) \
    int getter();                                   \
    void setter(int value);
#define QUILL_DECLARE_STRING(getter, setter, key, def) \
    std::string getter();                              \
    void setter(const std::string& value);
    QUILL_BOOL_DEFAULTS(QUILL_DECLARE_BOOL)
    QUILL_INT_DEFAULTS(QUILL_DECLARE_INT)
    QUILL_STRING_DEFAULTS(QUILL_DECLARE_STRING)
    QUILL_NONEMPTY_STRING_DEFAULTS(QUILL_DECLARE_STRING)
#undef QUILL_DECLARE_BOOL
#undef QUILL_DECLARE_INT
#undef QUILL_DECLARE_STRING

    // "MailDir": setting it to nothing stores the default path again.
    std::string mailDir();
    // "MailDir" as a directory to use: with its leading "~" expanded.
    std::string mailDirectory();
    void setMailDir(const std::string& path);
    // "Mailer", with a leading "~" expanded on every read.
    std::string mailer();
    void setMailer(const std::string& path);
    // SpoolDir + "/" + login name, "~" expanded; computed once.
    std::string spoolFile();
    // "QXAutoLaunch", consulted only when hideOnAutoLaunch() holds.
    bool autoLaunch();
    void setAutoLaunch(bool value);
    std::string webBrowserPath();
    void setWebBrowserPath(const std::optional<std::string>& path);
    // Header keys hidden in the filtered view, colon separated.
    std::string mailFilter();
    void setMailFilter(const std::string& value);
    // Index of the outgoing message class in messageClassNames().
    int sendFormat();
    void setSendFormat(int index);
    // 0 "Always", 1 "Never", 2 "Ask".
    int readReceiptOption();
    void setReadReceiptOption(int option);
    // 0 portrait, 1 landscape.
    int orientation();
    void setOrientation(int value);
    void setUserKey1(const std::string& key, const std::string& value);

    FontDescription msgFont();
    FontDescription boldFont();
    FontDescription fixedFont();
    FontDescription tocFont();

  private:
    Defaults();

    bool cachedBool(const char* key, bool defaultVal);
    void setCachedBool(const char* key, bool value);
    int cachedInt(const char* key, int defaultVal);
    void setCachedInt(const char* key, int value);
    // get:into:defaultVal: and getNoNull:into:defaultVal:
    std::optional<std::string>& cachedString(const char* key, const char* defaultVal,
                                             bool emptyIsAbsent);
    // setString:into:name:
    void setCachedString(const char* key, const std::optional<std::string>& value,
                         const char* defaultVal, bool emptyIsAbsent);
    void updateBoldFont();

    std::shared_ptr<DefaultsStore> m_store;
    std::vector<std::string> m_classNames;
    PlatformFonts m_platformFonts;
    std::map<std::string, int> m_numbers;  // absent means "not read yet"
    std::map<std::string, std::optional<std::string>> m_strings;
    std::optional<std::string> m_mailFilter;
    std::optional<std::string> m_spoolFile;
    int m_sendFormat = -1;
    std::optional<FontDescription> m_boldFont;
};

}  // namespace quill
