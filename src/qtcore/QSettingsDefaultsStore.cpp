#include "qtcore/QSettingsDefaultsStore.h"

#include <QDir>
#include <cstdlib>

namespace quill {

std::string QSettingsDefaultsStore::defaultPath() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    QString base = xdg && *xdg ? QString::fromLocal8Bit(xdg) : QDir::homePath() + "/.config";
    return (base + "/Quill/Quill.conf").toStdString();
}

QSettingsDefaultsStore::QSettingsDefaultsStore(const std::string& path)
    : m_settings(std::make_unique<QSettings>(QString::fromStdString(path), QSettings::IniFormat)) {}

std::optional<std::string> QSettingsDefaultsStore::get(const std::string& key) const {
    QVariant v = m_settings->value(QString::fromStdString(key));
    if (!v.isValid()) return std::nullopt;
    return v.toString().toStdString();
}

void QSettingsDefaultsStore::set(const std::string& key, const std::string& value) {
    m_settings->setValue(QString::fromStdString(key), QString::fromStdString(value));
    m_settings->sync();
}

void QSettingsDefaultsStore::remove(const std::string& key) {
    m_settings->remove(QString::fromStdString(key));
    m_settings->sync();
}

}  // namespace quill
