// PortHandler: hands messages that arrive on one of the application's ports to
// a plain function together with user data the owner chose.
#pragma once

#include <functional>
#include <string>

namespace quill {

// One message received on a port: its id and its bytes.
struct PortMessage {
    int msgid = 0;
    std::string data;
};

class PortHandler {
  public:
    using Function = std::function<void(const PortMessage& message, void* userData)>;

    explicit PortHandler(Function function = {}) : m_function(std::move(function)) {}
    static PortHandler initWithPortFunction(Function function) {
        return PortHandler(std::move(function));
    }

    void setUserData(void* data) { m_data = data; }
    void* userData() const { return m_data; }
    // Calls the function with the message and the user data, when there is a function.
    void handlePortMessage(const PortMessage& message) const;

  private:
    Function m_function;
    void* m_data = nullptr;
};

}  // namespace quill
