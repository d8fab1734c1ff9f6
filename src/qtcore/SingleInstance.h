// One Quill per user and display: the first start owns the display's name on
// the session bus, and a later start hands its arguments to it and ends.
// Without a session bus every start runs on its own.
#pragma once

#include <QDBusVirtualObject>
#include <functional>
#include <string>
#include <vector>

namespace quill {

class SingleInstance : public QDBusVirtualObject {
  public:
    using Arguments = std::vector<std::string>;

    // Receives the arguments a later start hands over (on the main thread).
    explicit SingleInstance(std::function<void(const Arguments&)> onArguments)
        : m_onArguments(std::move(onArguments)) {}
    // True when this process is the display's Quill (or no bus is there);
    // false when another already is.
    bool claim();
    // Hands the words to the running Quill; false when it did not take them.
    static bool handOver(const Arguments& words);

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;
    QString introspect(const QString& path) const override;

  private:
    std::function<void(const Arguments&)> m_onArguments;
};

}  // namespace quill
