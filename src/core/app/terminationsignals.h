// Termination signals (SIGTERM, SIGHUP, SIGINT) reach the application on the
// main thread: the handler only counts and writes one byte to a pipe the run
// loop watches. A third signal ends the process at once, even when the main
// thread is too busy to serve the pipe.
#pragma once

#include <functional>

namespace quill {

// Installs the handlers; onSignal(signo) runs on the main thread per signal.
bool installTerminationSignals(std::function<void(int signo)> onSignal);
void removeTerminationSignals();

}  // namespace quill
