#include "process/RunCommand.h"

#include <signal.h>
#include <unistd.h>

#include <memory>

#include "base/Diagnostics.h"
#include "process/ChildProcess.h"

namespace quill {
namespace {

constexpr size_t kChunk = 1024;

// Holds off the child-exit signal in this thread while a pipeline runs.
class ChildSignalBlock {
  public:
    ChildSignalBlock() {
        sigset_t chld;
        sigemptyset(&chld);
        sigaddset(&chld, SIGCHLD);
        pthread_sigmask(SIG_BLOCK, &chld, &m_old);
    }
    ~ChildSignalBlock() { pthread_sigmask(SIG_SETMASK, &m_old, nullptr); }
    ChildSignalBlock(const ChildSignalBlock&) = delete;
    ChildSignalBlock& operator=(const ChildSignalBlock&) = delete;

  private:
    sigset_t m_old;
};

pid_t spawn(const CArgv& args, int in, int out) {
    pid_t pid = ::fork();
    if (pid == 0) {
        redirectChild(in, out, -1, nullptr);
        execChild(args, args.program(), 127);
    }
    if (pid < 0) reportSystemError("fork");
    return pid;
}

InputPuller pullFrom(std::istream& input) {
    return [&input](char* buffer, size_t size) -> size_t {
        if (!input) return 0;
        input.read(buffer, static_cast<std::streamsize>(size));
        return static_cast<size_t>(input.gcount());
    };
}

InputPuller pullFrom(ByteSource& input) {
    return [&input](char* buffer, size_t size) {
        size_t n = input.remaining().copy(buffer, size);
        input.seek(input.position() + n);
        return n;
    };
}

OutputPusher pushTo(std::ostream& output) {
    return [&output](const char* bytes, size_t size) {
        output.write(bytes, static_cast<std::streamsize>(size));
    };
}

OutputPusher pushTo(ByteSink& output) {
    return [&output](const char* bytes, size_t size) { output.write({bytes, size}); };
}

void pump(UniqueFd feed, const InputPuller* input, UniqueFd drain, const OutputPusher* output) {
    static const InputPuller kNothing = [](char*, size_t) -> size_t { return 0; };
    static const OutputPusher kNowhere = [](const char*, size_t) {};
    const char* failed = nullptr;
    if (!feedAndDrain(std::move(feed), input ? *input : kNothing, std::move(drain),
                      output ? *output : kNowhere, kChunk, &failed)) {
        reportSystemError(failed);
    }
}

// The pipeline, fed by `input` and drained by `output` when they are given.
int pipeline(const std::vector<RunCommand::Argv>& commands, const InputPuller* input,
             const OutputPusher* output) {
    if (commands.empty()) return 0;
    std::vector<std::unique_ptr<CArgv>> argvs;
    for (const auto& command : commands) argvs.push_back(std::make_unique<CArgv>(command));

    UniqueFd nextIn, feed;
    if (input && !makePipe(nextIn, feed)) {
        reportSystemError("pipe");
        return -1;
    }
    ChildSignalBlock block;
    std::vector<pid_t> pids;
    int result = 0;
    for (size_t i = 0; i < argvs.size(); ++i) {
        bool toUs = i + 1 == argvs.size() && !output;
        UniqueFd outRead, outWrite;
        if (!toUs && !makePipe(outRead, outWrite)) {
            reportSystemError("pipe");
            result = -1;
            break;
        }
        pid_t pid = spawn(*argvs[i], nextIn ? nextIn.get() : 0, outWrite ? outWrite.get() : 1);
        if (pid < 0) {
            result = -1;
            break;
        }
        pids.push_back(pid);
        nextIn = std::move(outRead);  // our copies of the child's ends close here
    }
    if (result == 0) pump(std::move(feed), input, output ? std::move(nextIn) : UniqueFd(), output);
    feed.reset();
    nextIn.reset();

    for (pid_t pid : pids) {
        int status = 0;
        if (waitForPid(pid, &status, 0) < 0) {
            reportSystemError(formatString("waitpid(%d)", static_cast<int>(pid)));
            continue;
        }
        int code = (status >> 8) & 0xff;
        if (result == 0) result = code;
    }
    return result;
}

// One command through the shell, fed or drained (never both).
int shellCommand(const std::string& command, const InputPuller* input, const OutputPusher* output) {
    if (input && output) {
        logError("RunCommand",
                 "Internal Error: Simultaneous input and output is not yet supported.");
        return -1;
    }
    UniqueFd readEnd, writeEnd;
    if (!makePipe(readEnd, writeEnd)) {
        reportSystemError(command);
        return -1;
    }
    CArgv shell({"/bin/sh", "-c", command});
    pid_t pid = output ? spawn(shell, 0, writeEnd.get()) : spawn(shell, readEnd.get(), 1);
    if (pid < 0) {
        reportSystemError(command);
        return -1;
    }
    if (output) {
        writeEnd.reset();
        pump(UniqueFd(), nullptr, std::move(readEnd), output);
    } else {
        readEnd.reset();
        pump(std::move(writeEnd), input, UniqueFd(), nullptr);
    }
    int status = 0;
    return waitForPid(pid, &status, 0) < 0 ? -1 : status;
}

}  // namespace

int RunCommand::runPipe(const std::vector<Argv>& commands, std::istream* input,
                        std::ostream* output) {
    InputPuller in = input ? pullFrom(*input) : InputPuller();
    OutputPusher out = output ? pushTo(*output) : OutputPusher();
    return pipeline(commands, input ? &in : nullptr, output ? &out : nullptr);
}

int RunCommand::runPipe(const std::vector<Argv>& commands, ByteSource& input, ByteSink& output) {
    InputPuller in = pullFrom(input);
    OutputPusher out = pushTo(output);
    return pipeline(commands, &in, &out);
}

int RunCommand::runPipeWithInputFrom(const std::vector<Argv>& commands, ByteSource& input) {
    InputPuller in = pullFrom(input);
    return pipeline(commands, &in, nullptr);
}

int RunCommand::runPipeWithOutputTo(const std::vector<Argv>& commands, ByteSink& output) {
    OutputPusher out = pushTo(output);
    return pipeline(commands, nullptr, &out);
}

int RunCommand::run(const std::string& command, std::istream* input, std::ostream* output) {
    InputPuller in = input ? pullFrom(*input) : InputPuller();
    OutputPusher out = output ? pushTo(*output) : OutputPusher();
    return shellCommand(command, input ? &in : nullptr, output ? &out : nullptr);
}

int RunCommand::runWithInputFrom(const std::string& command, ByteSource& input) {
    InputPuller in = pullFrom(input);
    return shellCommand(command, &in, nullptr);
}

int RunCommand::runWithOutputTo(const std::string& command, ByteSink& output) {
    OutputPusher out = pushTo(output);
    return shellCommand(command, nullptr, &out);
}

pid_t RunCommand::spawnPipe(const Argv& argv, int in, int out) {
    CArgv args(argv);
    return spawn(args, in, out);
}

std::string shellQuote(std::string_view value) {
    std::string quoted = "'";
    for (char c : value) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

std::string unmanglefilename(const std::string& name) {
    std::string mark = formatString("-%d-", static_cast<int>(::getpid()));
    size_t at = name.find(mark);
    if (at == std::string::npos) return name;
    size_t rest = at + mark.size();
    while (rest < name.size() && name[rest] >= '0' && name[rest] <= '9') ++rest;
    return name.substr(0, at) + name.substr(rest);
}

}  // namespace quill
