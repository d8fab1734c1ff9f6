// DefaultsStore: the per-user persistent map from key strings to string values
// behind Defaults. The GUI backs it with a settings file; tests use memory.
#pragma once

#include <map>
#include <optional>
#include <string>

namespace quill {

class DefaultsStore {
  public:
    virtual ~DefaultsStore() = default;
    virtual std::optional<std::string> get(const std::string& key) const = 0;
    virtual void set(const std::string& key, const std::string& value) = 0;
    virtual void remove(const std::string& key) = 0;
};

class MemoryDefaultsStore : public DefaultsStore {
  public:
    std::optional<std::string> get(const std::string& key) const override;
    void set(const std::string& key, const std::string& value) override;
    void remove(const std::string& key) override;

    const std::map<std::string, std::string>& values() const { return m_values; }
    // How many writes and removals reached the store (to check write-through rules).
    int writes() const { return m_writes; }

  private:
    std::map<std::string, std::string> m_values;
    int m_writes = 0;
};

}  // namespace quill
