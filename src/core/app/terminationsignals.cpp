#include "app/terminationsignals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

#include "base/FileHandles.h"
#include "platform/RunLoop.h"

namespace quill {
namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

std::atomic<int> g_received{0};
int g_writeEnd = -1;
UniqueFd g_readEnd;
UniqueFd g_writeOwner;
RunLoop::Id g_watch = 0;
std::function<void(int)> g_onSignal;

void handler(int signo) {
    int saved = errno;
    if (g_received.fetch_add(1) + 1 >= 3) {
        // Only async-signal-safe calls here: format the number by hand.
        char msg[64] = "Recaught signal #";
        size_t len = std::strlen(msg);
        char digits[8];
        int d = 0;
        for (int v = signo; v > 0 && d < 8; v /= 10) digits[d++] = static_cast<char>('0' + v % 10);
        while (d > 0) msg[len++] = digits[--d];
        const char tail[] = "; exiting fast\n";
        std::memcpy(msg + len, tail, sizeof tail - 1);
        [[maybe_unused]] ssize_t n = ::write(2, msg, len + sizeof tail - 1);
        ::_exit(1);
    }
    unsigned char byte = static_cast<unsigned char>(signo);
    [[maybe_unused]] ssize_t n = ::write(g_writeEnd, &byte, 1);
    errno = saved;
}

void serve() {
    unsigned char bytes[16];
    ssize_t n;
    while ((n = ::read(g_readEnd.get(), bytes, sizeof bytes)) > 0) {
        for (ssize_t i = 0; i < n; ++i) {
            if (g_onSignal) g_onSignal(bytes[i]);
        }
    }
}

}  // namespace

bool installTerminationSignals(std::function<void(int)> onSignal) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    g_readEnd.reset(fds[0]);
    g_writeOwner.reset(fds[1]);
    g_writeEnd = fds[1];
    g_onSignal = std::move(onSignal);
    g_watch = runLoop().watchReadable(g_readEnd.get(), serve);
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int s : kSignals) ::sigaction(s, &sa, nullptr);
    return true;
}

void removeTerminationSignals() {
    for (int s : kSignals) ::signal(s, SIG_DFL);
    if (g_watch) runLoop().unwatch(g_watch);
    g_watch = 0;
    g_writeEnd = -1;
    g_writeOwner.reset();
    g_readEnd.reset();
    g_onSignal = nullptr;
    g_received = 0;
}

}  // namespace quill
