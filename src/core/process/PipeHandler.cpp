#include "process/PipeHandler.h"

#include <fcntl.h>
#include <unistd.h>

namespace quill {

std::unique_ptr<PipeHandler> PipeHandler::initWithFunction(Function function) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return nullptr;
    std::unique_ptr<PipeHandler> handler(new PipeHandler);
    handler->m_readFd.reset(fds[0]);
    handler->m_writeFd.reset(fds[1]);
    handler->m_function = std::move(function);
    handler->m_loop = &runLoop();
    PipeHandler* self = handler.get();
    handler->m_watch = handler->m_loop->watchReadable(fds[0], [self] { self->activity(); });
    return handler;
}

PipeHandler::~PipeHandler() {
    if (m_loop) m_loop->unwatch(m_watch);
}

void PipeHandler::activity() {
    if (m_function) m_function(m_readFd.get(), *this);
}

}  // namespace quill
