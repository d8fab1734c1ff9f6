#include "platform/PollRunLoop.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <vector>

namespace quill {

PollRunLoop::PollRunLoop() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        throw std::system_error(errno, std::generic_category(), "run loop wake-up pipe");
    }
    m_wakeRead.reset(fds[0]);
    m_wakeWrite.reset(fds[1]);
}

RunLoop::Id PollRunLoop::performAfter(std::chrono::milliseconds delay, Callback fn) {
    Id id = m_nextId++;
    auto due = Clock::now() + delay;
    m_timers.emplace(std::make_pair(due, id), std::move(fn));
    m_timerDue.emplace(id, due);
    return id;
}

void PollRunLoop::cancel(Id id) {
    auto it = m_timerDue.find(id);
    if (it == m_timerDue.end()) return;
    m_timers.erase({it->second, id});
    m_timerDue.erase(it);
}

RunLoop::Id PollRunLoop::watchReadable(int fd, Callback fn) {
    Id id = m_nextId++;
    m_watches.emplace(id, Watch{fd, std::move(fn)});
    return id;
}

void PollRunLoop::unwatch(Id id) { m_watches.erase(id); }

void PollRunLoop::post(Callback fn) {
    {
        std::lock_guard<std::mutex> lock(m_postMutex);
        m_posted.push_back(std::move(fn));
    }
    char byte = 1;
    // A full pipe already guarantees a wake-up, so a failed write loses nothing.
    [[maybe_unused]] ssize_t n = ::write(m_wakeWrite.get(), &byte, 1);
}

void PollRunLoop::dispatch(const Callback& fn) {
    fn();
    endOfEvent();
}

void PollRunLoop::servePosted() {
    char drain[256];
    while (::read(m_wakeRead.get(), drain, sizeof drain) > 0) {
    }
    std::deque<Callback> batch;
    {
        std::lock_guard<std::mutex> lock(m_postMutex);
        batch.swap(m_posted);
    }
    for (auto& fn : batch) dispatch(fn);
}

void PollRunLoop::serveTimers() {
    auto now = Clock::now();
    while (!m_timers.empty() && m_timers.begin()->first.first <= now) {
        auto node = m_timers.extract(m_timers.begin());
        m_timerDue.erase(node.key().second);
        dispatch(node.mapped());
    }
}

int PollRunLoop::pollTimeout(std::chrono::milliseconds limit) const {
    auto wait = limit;
    if (!m_timers.empty()) {
        auto untilTimer = std::chrono::ceil<std::chrono::milliseconds>(
            m_timers.begin()->first.first - Clock::now());
        wait = std::min(wait, std::max(untilTimer, std::chrono::milliseconds(0)));
    }
    return static_cast<int>(std::max<long long>(wait.count(), 0));
}

void PollRunLoop::runOnce(std::chrono::milliseconds timeout) {
    std::vector<pollfd> fds;
    std::vector<Id> ids;
    fds.push_back({m_wakeRead.get(), POLLIN, 0});
    for (const auto& [id, watch] : m_watches) {
        fds.push_back({watch.fd, POLLIN, 0});
        ids.push_back(id);
    }
    int n = ::poll(fds.data(), fds.size(), pollTimeout(timeout));
    if (n > 0) {
        if (fds[0].revents) servePosted();
        for (size_t i = 1; i < fds.size(); ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            auto it = m_watches.find(ids[i - 1]);  // an earlier callback may have removed it
            if (it != m_watches.end()) {
                Callback fn = it->second.fn;
                dispatch(fn);
            }
        }
    }
    serveTimers();
}

void PollRunLoop::run() {
    m_quit = false;
    while (!m_quit) runOnce(std::chrono::hours(1));
}

bool PollRunLoop::runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    auto deadline = Clock::now() + timeout;
    while (!done()) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) break;
        runOnce(left);
    }
    return done();
}

}  // namespace quill
