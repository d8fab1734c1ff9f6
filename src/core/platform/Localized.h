// String tables: every user-visible text is looked up by its English text in a
// named table ("Alerts", "Buttons", "UI", "UIplural", "FileSystemError").
// Until a translation is installed a lookup yields the English text itself.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace quill {

inline constexpr const char* kAlertsTable = "Alerts";
inline constexpr const char* kButtonsTable = "Buttons";
inline constexpr const char* kUITable = "UI";
inline constexpr const char* kUIPluralTable = "UIplural";
inline constexpr const char* kFileSystemErrorTable = "FileSystemError";

// A translation answers a table and an English text, or nothing when it has no entry.
using Translator =
    std::function<std::optional<std::string>(const std::string& table, const std::string& text)>;

void setTranslator(Translator translator);

std::string localized(const std::string& table, const std::string& text);

// A status text that counts something: "UIplural" when the count is not 1, "UI" otherwise.
std::string localizedCount(const std::string& text, long count);

}  // namespace quill
