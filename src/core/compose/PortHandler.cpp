#include "compose/PortHandler.h"

namespace quill {

void PortHandler::handlePortMessage(const PortMessage& message) const {
    if (m_function) m_function(message, m_data);
}

}  // namespace quill
