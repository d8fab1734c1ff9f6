#include "platform/Localized.h"

#include <mutex>
#include <utility>

namespace quill {
namespace {

std::mutex& translatorMutex() {
    static std::mutex m;
    return m;
}

Translator& currentTranslator() {
    static Translator t;
    return t;
}

}  // namespace

void setTranslator(Translator translator) {
    std::lock_guard<std::mutex> lock(translatorMutex());
    currentTranslator() = std::move(translator);
}

std::string localized(const std::string& table, const std::string& text) {
    std::lock_guard<std::mutex> lock(translatorMutex());
    if (currentTranslator()) {
        if (auto translated = currentTranslator()(table, text)) return *translated;
    }
    return text;
}

std::string localizedCount(const std::string& text, long count) {
    return localized(count == 1 ? kUITable : kUIPluralTable, text);
}

}  // namespace quill
