// The user's settings file: $XDG_CONFIG_HOME/Quill/Quill.conf (created on the
// first write), behind the core's DefaultsStore.
#pragma once

#include <QSettings>
#include <memory>

#include "settings/DefaultsStore.h"

namespace quill {

class QSettingsDefaultsStore : public DefaultsStore {
  public:
    // The file under $XDG_CONFIG_HOME (else ~/.config).
    static std::string defaultPath();
    explicit QSettingsDefaultsStore(const std::string& path = defaultPath());

    std::optional<std::string> get(const std::string& key) const override;
    void set(const std::string& key, const std::string& value) override;
    void remove(const std::string& key) override;

  private:
    std::unique_ptr<QSettings> m_settings;
};

}  // namespace quill
