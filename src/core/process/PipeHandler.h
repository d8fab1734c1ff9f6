// PipeHandler: a pipe whose read end the run loop watches. Writing a byte to
// writeFd() from anywhere (a signal handler included) makes the run loop call
// the handler's function on the main thread with the read end.
#pragma once

#include <functional>
#include <memory>

#include "base/FileHandles.h"
#include "platform/RunLoop.h"

namespace quill {

class PipeHandler {
  public:
    using Function = std::function<void(int readFd, PipeHandler& handler)>;

    // A fresh pipe (both ends close-on-exec and non-blocking) watched on the
    // current run loop; null when no pipe can be made. The handler must not
    // outlive that run loop.
    static std::unique_ptr<PipeHandler> initWithFunction(Function function);
    ~PipeHandler();
    PipeHandler(const PipeHandler&) = delete;
    PipeHandler& operator=(const PipeHandler&) = delete;

    int writeFd() const { return m_writeFd.get(); }
    int readFd() const { return m_readFd.get(); }
    // What the run loop calls when the read end is readable.
    void activity();

  private:
    PipeHandler() = default;

    RunLoop* m_loop = nullptr;
    RunLoop::Id m_watch = 0;
    UniqueFd m_writeFd;
    UniqueFd m_readFd;
    Function m_function;
};

}  // namespace quill
