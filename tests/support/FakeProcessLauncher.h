// FakeProcessLauncher: a launcher that starts nothing. It records every
// launch with the bytes the caller fed the child, answers the scripted output
// on the child's output pipe and the scripted exit code when waited for, and
// records the signals sent.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "process/ProcessLauncher.h"

namespace quill::test {

class FakeProcessLauncher : public ProcessLauncher {
  public:
    struct Launch {
        LaunchRequest request;
        pid_t pid = -1;
        std::string input;  // complete once the child was waited for
    };

    // The next launch prints `output` and ends with `exitCode`; unscripted
    // launches print nothing and end with 0. failNextLaunch makes one fail.
    void script(std::string output, int exitCode = 0);
    void failNextLaunch(int error) { m_failWith = error; }

    const std::vector<Launch>& launches() const { return m_launches; }
    const std::vector<std::pair<pid_t, int>>& signals() const { return m_signals; }

    LaunchedChild launch(const LaunchRequest& request) override;
    int wait(pid_t pid) override;
    int tryWait(pid_t pid, int& status) override;
    void watchExit(pid_t pid, ExitReport report) override;
    void signalGroup(pid_t pid, int signo) override { m_signals.emplace_back(pid, signo); }

  private:
    struct Running {
        size_t launch;
        int exitCode;
        UniqueFd input;  // our copy of the descriptor the caller feeds
    };
    int collect(pid_t pid);

    std::vector<std::pair<std::string, int>> m_scripts;
    std::vector<Launch> m_launches;
    std::map<pid_t, Running> m_running;
    std::vector<std::pair<pid_t, int>> m_signals;
    int m_failWith = 0;
    pid_t m_nextPid = 4'000'000;
};

}  // namespace quill::test
