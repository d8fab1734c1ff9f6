#include "process/ProcessLauncher.h"

#include "process/PosixProcessLauncher.h"

namespace quill {
namespace {

std::shared_ptr<ProcessLauncher>& installedLauncher() {
    static std::shared_ptr<ProcessLauncher> launcher;
    return launcher;
}

}  // namespace

ProcessLauncher& processLauncher() {
    if (auto& installed = installedLauncher()) return *installed;
    static ChildWatch watch;
    static PosixProcessLauncher fallback(watch);
    return fallback;
}

void installProcessLauncher(std::shared_ptr<ProcessLauncher> launcher) {
    installedLauncher() = std::move(launcher);
}

}  // namespace quill
